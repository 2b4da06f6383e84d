// x91_decoder: a whole stream (read through callbacks, pushed in pieces, or
// held in memory) decoded by the stream layer's StreamDecoder, or packets a
// player finds itself decoded by its PacketDecoder.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/api_status.h"
#include "api/byte_sources.h"
#include "api/threads_api.h"
#include "format/limits.h"
#include "format/settings_io.h"
#include "stream/packet_decoder.h"
#include "stream/stream_check.h"
#include "stream/stream_decoder.h"
#include "x91/x91.h"

struct x91_decoder {
    // One of the two.
    std::unique_ptr<x91::StreamDecoder> stream;
    std::unique_ptr<x91::PacketDecoder> packets;
    // Where a stream decoder reads from, if it pulls its bytes.
    std::unique_ptr<x91::ByteSource> source;
    std::string last_error;
    bool broken = false;  // see stream_call

    const x91::PacketTimeline& timeline() const {
        return stream ? stream->timeline() : packets->timeline();
    }
    const x91::StreamInfo& info() const { return stream ? stream->info() : packets->info(); }
    const x91::Result& extension() const {
        return stream ? stream->extension() : packets->extension();
    }
};

namespace x91 {
namespace {

Result needs_file(const char* call) {
    return {Status::invalid_state, std::string(call) + " needs a decoder over a file"};
}

Result needs_packets(const char* call) {
    return {Status::invalid_state, std::string(call) + " needs a decoder over packets"};
}

// A stream decoder over source, its header read; *decoder on success.
x91_status open_stream(x91_decoder** decoder, std::unique_ptr<ByteSource> source,
                       bool check_crc_now) {
    return guarded(thread_last_error(), [&] {
        auto made = std::make_unique<x91_decoder>();
        made->stream = std::make_unique<StreamDecoder>();
        if (source) {
            if (Result opened = made->stream->open(*source); !opened) return opened;
            if (check_crc_now) {
                if (Result checked = made->stream->check_crc_now(); !checked) return checked;
            }
            made->source = std::move(source);
        }
        *decoder = made.release();
        return Result{};
    });
}

}  // namespace
}  // namespace x91

extern "C" {

x91_status x91_decoder_open_callbacks(x91_decoder** decoder, const x91_io* io, void* user) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *decoder = nullptr;
    if (io == nullptr || io->read == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::open_stream(decoder, std::make_unique<x91::CallbackSource>(*io, user), false);
}

x91_status x91_decoder_open_push(x91_decoder** decoder) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *decoder = nullptr;
    return x91::open_stream(decoder, nullptr, false);
}

x91_status x91_decoder_open_memory(x91_decoder** decoder, const uint8_t* file, size_t size) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *decoder = nullptr;
    if (file == nullptr && size > 0) return X91_ERR_INVALID_ARGUMENT;
    std::vector<std::uint8_t> bytes;
    const x91_status copied = x91::guarded(x91::thread_last_error(), [&] {
        bytes.assign(file, file + size);
        return x91::Result{};
    });
    if (copied != X91_OK) return copied;
    return x91::open_stream(decoder, std::make_unique<x91::MemorySource>(std::move(bytes)), true);
}

x91_status x91_decoder_create_for_header(x91_decoder** decoder, const uint8_t* header,
                                         size_t size) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *decoder = nullptr;
    if (header == nullptr && size > 0) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(x91::thread_last_error(), [&] {
        std::optional<x91::CheckedSettings> settings;
        const std::size_t n = std::min<std::size_t>(size, X91_HEADER_BYTES);
        if (x91::Result parsed = x91::parse_x91_header(header, n, settings); !parsed) return parsed;
        auto made = std::make_unique<x91_decoder>();
        made->packets = std::make_unique<x91::PacketDecoder>(*settings);
        *decoder = made.release();
        return x91::Result{};
    });
}

void x91_decoder_destroy(x91_decoder* decoder) {
    delete decoder;
}

x91_status x91_decoder_feed(x91_decoder* decoder, const uint8_t* data, size_t size) {
    if (decoder == nullptr || (data == nullptr && size > 0)) return X91_ERR_INVALID_ARGUMENT;
    return x91::stream_call(decoder->broken, decoder->last_error, [&] {
        if (!decoder->stream || decoder->source)
            return x91::Result{x91::Status::invalid_state, "feed needs a decoder fed with bytes"};
        return decoder->stream->feed(data, size);
    });
}

x91_status x91_decoder_feed_end(x91_decoder* decoder) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::stream_call(decoder->broken, decoder->last_error, [&] {
        if (!decoder->stream || decoder->source)
            return x91::Result{x91::Status::invalid_state, "feed needs a decoder fed with bytes"};
        return decoder->stream->end_input();
    });
}

int x91_decoder_ended(const x91_decoder* decoder) {
    return decoder && decoder->stream && decoder->stream->ended() ? 1 : 0;
}

x91_status x91_decoder_set_threads(x91_decoder* decoder, int threads) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        if (!decoder->stream) return x91::needs_file("set_threads");
        if (threads < 1 || threads > x91::kMaxThreads)
            return x91::Result{x91::Status::invalid_argument,
                               "threads must be from 1 to " + std::to_string(x91::kMaxThreads)};
        return decoder->stream->set_threads({{threads, 0}, nullptr});
    });
}

x91_status x91_decoder_share_threads(x91_decoder* decoder, x91_threads* threads) {
    if (decoder == nullptr || threads == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        if (!decoder->stream) return x91::needs_file("share_threads");
        return decoder->stream->set_threads({{}, &threads->budget});
    });
}

x91_status x91_decoder_use_extension(x91_decoder* decoder, const uint8_t* block, size_t size) {
    if (decoder == nullptr || block == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        x91::StreamInfo info;
        x91::Result parsed = x91::parse_extension(block, size, info);
        if (!parsed) return parsed;
        return decoder->stream ? decoder->stream->use_extension(info)
                               : decoder->packets->use_extension(info);
    });
}

x91_status x91_decoder_exact_length(const x91_decoder* decoder, uint64_t* frames,
                                    uint64_t* lead_in) {
    if (frames) *frames = 0;
    if (lead_in) *lead_in = 0;
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    const x91_status status = x91::to_c_status(decoder->extension().status);
    if (status == X91_OK || status == X91_ERR_CHECKSUM_MISMATCH) {
        if (frames) *frames = decoder->info().frames;
        if (lead_in) *lead_in = decoder->info().lead_in;
    }
    return status;
}

const char* x91_decoder_extension_error(const x91_decoder* decoder) {
    if (decoder == nullptr || !decoder->stream) return "";
    const x91::Result& found = decoder->stream->extension();
    const bool damaged = found.status == x91::Status::extension_damaged ||
                         found.status == x91::Status::extension_unknown;
    return damaged ? found.message.c_str() : "";
}

size_t x91_decoder_tag_count(const x91_decoder* decoder) {
    if (decoder == nullptr) return 0;
    const x91_status status = x91::to_c_status(decoder->extension().status);
    return status == X91_OK || status == X91_ERR_CHECKSUM_MISMATCH ? decoder->info().tags.size()
                                                                   : 0;
}

x91_status x91_decoder_tag(const x91_decoder* decoder, size_t index, const char** name,
                           const char** value) {
    if (name) *name = nullptr;
    if (value) *value = nullptr;
    if (decoder == nullptr || index >= x91_decoder_tag_count(decoder))
        return X91_ERR_INVALID_ARGUMENT;
    const x91::Tag& tag = decoder->info().tags[index];
    if (name) *name = tag.name.c_str();
    if (value) *value = tag.value.c_str();
    return X91_OK;
}

uint32_t x91_decoder_frames_per_packet(const x91_decoder* decoder) {
    return decoder ? static_cast<uint32_t>(decoder->timeline().blocks_per_packet()) : 0;
}

uint64_t x91_decoder_packet_start(const x91_decoder* decoder, uint64_t packet) {
    return decoder ? decoder->timeline().packet_start(packet) : 0;
}

uint64_t x91_decoder_restart_exact_from(const x91_decoder* decoder, uint64_t packet) {
    return decoder ? decoder->timeline().restart_exact_from(packet) : 0;
}

uint64_t x91_decoder_packet_frames(const x91_decoder* decoder, uint64_t packet) {
    return decoder ? decoder->timeline().packet_frames(packet) : 0;
}

uint64_t x91_decoder_length(const x91_decoder* decoder) {
    if (decoder == nullptr) return 0;
    return decoder->stream ? decoder->stream->length() : decoder->packets->length();
}

uint64_t x91_decoder_position(const x91_decoder* decoder) {
    if (decoder == nullptr) return 0;
    return decoder->stream ? decoder->stream->position() : decoder->packets->position();
}

x91_status x91_decoder_progress(const x91_decoder* decoder, uint64_t* frames, uint64_t* bytes) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    const x91::StreamDecoder* stream = decoder->stream.get();
    const std::uint64_t per_packet = decoder->timeline().blocks_per_packet() * X91_BLOCK_FRAMES;
    if (frames) *frames = stream ? stream->packets_decoded() * per_packet : 0;
    if (bytes) *bytes = stream ? stream->packet_bytes() : 0;
    return X91_OK;
}

x91_status x91_decoder_trim(x91_decoder* decoder, uint64_t lead_in, uint64_t frames) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        const x91::Trim trim{lead_in, frames};
        return decoder->stream ? decoder->stream->trim(trim) : decoder->packets->trim(trim);
    });
}

x91_status x91_decoder_decode_packet(x91_decoder* decoder, const uint8_t* packet, size_t size) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        if (!decoder->packets) return x91::needs_packets("decode_packet");
        return decoder->packets->decode(packet, size);
    });
}

x91_status x91_decoder_restart(x91_decoder* decoder, uint64_t packet) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        if (!decoder->packets) return x91::needs_packets("restart");
        // Beyond centuries of audio: no stream has such packets.
        if (packet >= (uint64_t{1} << 40))
            return x91::Result{x91::Status::invalid_argument, "no such packet"};
        decoder->packets->restart(packet);
        decoder->broken = false;  // the decode starts over from that packet
        return x91::Result{};
    });
}

x91_status x91_decoder_seek(x91_decoder* decoder, uint64_t frame) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::stream_call(decoder->broken, decoder->last_error, [&] {
        if (!decoder->stream) return x91::needs_file("seek");
        return decoder->stream->seek(frame);
    });
}

x91_status x91_decoder_read(x91_decoder* decoder, int16_t* pcm, size_t max_frames, size_t* frames) {
    if (frames) *frames = 0;
    if (decoder == nullptr || frames == nullptr || (pcm == nullptr && max_frames > 0))
        return X91_ERR_INVALID_ARGUMENT;
    return x91::stream_call(decoder->broken, decoder->last_error, [&] {
        if (decoder->packets) {
            decoder->packets->read(pcm, max_frames, *frames);
            return x91::Result{};
        }
        return decoder->stream->read(pcm, max_frames, *frames);
    });
}

const char* x91_decoder_last_error(const x91_decoder* decoder) {
    return decoder ? decoder->last_error.c_str() : "no decoder";
}

x91_status x91_check_callbacks(const x91_io* io, void* user, x91_threads* threads) {
    if (io == nullptr || io->read == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(x91::thread_last_error(), [&] {
        x91::CallbackSource source(*io, user);
        x91::DecodeThreads shared;
        if (threads) shared.shared = &threads->budget;
        return x91::check_stream(source, shared);
    });
}

}  // extern "C"
