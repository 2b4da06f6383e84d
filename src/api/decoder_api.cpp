// x91_decoder: a whole file in memory (indexed once, seekable), or packets a
// player finds itself, decoded through a PacketStream that keeps the audio
// in step with the stream's timeline.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/api_status.h"
#include "api/file_index.h"
#include "api/packet_stream.h"
#include "library/codec.h"
#include "x91/x91.h"

struct x91_decoder {
    x91_decoder(const x91::Header& h, std::vector<std::uint8_t> bytes)
        : file(std::move(bytes)), stream(h) {
        if (!file.empty()) index.emplace(file.data(), file.size());
    }

    // A file in memory; empty for a packet decoder.
    std::vector<std::uint8_t> file;
    std::optional<x91::FileIndex> index;
    x91::PacketStream stream;
    // Decoded audio not read yet: its first frame is pending_start of the
    // stream, the next to read is position.
    std::vector<std::int16_t> pending;
    std::uint64_t pending_start = 0;
    std::uint64_t position = 0;
    bool damage_reported = false;
    bool started = false;  // a packet was decoded or a read made
    std::string last_error;
    // What the extension block told: no_extension until one is read.
    x91::Result extension{x91::Status::no_extension, ""};
    x91::StreamInfo info;

    // Takes what a block told, and trims to the input when it can be
    // trusted: an intact block (even over changed packets, as the command
    // decodes them).
    void use_stream_info(x91::Result found, x91::StreamInfo read) {
        const bool trusted =
            found.status == x91::Status::ok || found.status == x91::Status::checksum_mismatch;
        extension = std::move(found);
        if (!trusted) return;
        info = std::move(read);
        stream.trim(info.lead_in, info.frames);
    }

    const x91::PacketTimeline& timeline() const { return stream.timeline(); }
    std::uint64_t pending_end() const { return pending_start + pending.size() / 2; }

    std::uint64_t length() const {
        return timeline().stream_frames(index ? index->packets().size() : stream.next_packet());
    }

    // Decodes the packets of the file until the audio at position is there
    // or the packets end. The outcome is that of the last damaged packet.
    x91::Result decode_up_to_position() {
        x91::Result outcome;
        const auto& packets = index->packets();
        while (position >= pending_end() && stream.next_packet() < packets.size()) {
            pending.clear();
            pending_start = timeline().packet_start(stream.next_packet());
            const x91::PacketSpan span = packets[stream.next_packet()];
            x91::Result decoded = stream.decode(file.data() + span.offset, span.size, pending);
            if (!decoded)
                outcome = {decoded.status, "packet " + std::to_string(stream.next_packet()) +
                                               " is damaged: " + decoded.message};
        }
        if (position >= pending_end() && !index->damage() && !damage_reported) {
            damage_reported = true;
            return index->damage();
        }
        return outcome;
    }

    void restart_at(std::uint64_t packet) {
        stream.restart(packet);
        pending.clear();
        pending_start = timeline().packet_start(packet);
        position = pending_start;
    }
};

namespace x91 {
namespace {

x91::Result needs_file(const char* call) {
    return {x91::Status::invalid_state, std::string(call) + " needs a decoder over a file"};
}

x91::Result needs_packets(const char* call) {
    return {x91::Status::invalid_state, std::string(call) + " needs a decoder over packets"};
}

// Builds a decoder once the header has passed its check.
x91_status create(x91_decoder** decoder, const uint8_t* data, size_t size, bool whole_file) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *decoder = nullptr;
    if (data == nullptr && size > 0) return X91_ERR_INVALID_ARGUMENT;
    std::string error;
    return x91::guarded(error, [&] {
        x91::Header header;
        if (x91::Result parsed = x91::Header::parse(data, size, header); !parsed) return parsed;
        std::vector<std::uint8_t> file;
        if (whole_file) file.assign(data, data + size);
        auto made = std::make_unique<x91_decoder>(header, std::move(file));
        if (whole_file) {
            x91::StreamInfo info;
            x91::Result found = x91::read_stream_info(data, size, info);
            made->use_stream_info(std::move(found), std::move(info));
        }
        *decoder = made.release();
        return x91::Result{};
    });
}

}  // namespace
}  // namespace x91

extern "C" {

x91_status x91_decoder_open_memory(x91_decoder** decoder, const uint8_t* file, size_t size) {
    return x91::create(decoder, file, size, true);
}

x91_status x91_decoder_create_for_header(x91_decoder** decoder, const uint8_t* header,
                                         size_t size) {
    return x91::create(decoder, header, std::min<size_t>(size, X91_HEADER_BYTES), false);
}

void x91_decoder_destroy(x91_decoder* decoder) {
    delete decoder;
}

x91_status x91_decoder_use_extension(x91_decoder* decoder, const uint8_t* block, size_t size) {
    if (decoder == nullptr || block == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        if (decoder->started)
            return x91::Result{x91::Status::invalid_state, "extension block after decoding began"};
        x91::StreamInfo info;
        x91::Result parsed = x91::parse_extension(block, size, info);
        if (!parsed) return parsed;
        decoder->use_stream_info(parsed, std::move(info));
        return parsed;
    });
}

x91_status x91_decoder_exact_length(const x91_decoder* decoder, uint64_t* frames,
                                    uint64_t* lead_in) {
    if (frames) *frames = 0;
    if (lead_in) *lead_in = 0;
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    const x91_status status = x91::to_c_status(decoder->extension.status);
    if (status == X91_OK || status == X91_ERR_CHECKSUM_MISMATCH) {
        if (frames) *frames = decoder->info.frames;
        if (lead_in) *lead_in = decoder->info.lead_in;
    }
    return status;
}

size_t x91_decoder_tag_count(const x91_decoder* decoder) {
    return decoder ? decoder->info.tags.size() : 0;
}

x91_status x91_decoder_tag(const x91_decoder* decoder, size_t index, const char** name,
                           const char** value) {
    if (name) *name = nullptr;
    if (value) *value = nullptr;
    if (decoder == nullptr || index >= decoder->info.tags.size()) return X91_ERR_INVALID_ARGUMENT;
    const x91::Tag& tag = decoder->info.tags[index];
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
    return decoder ? decoder->length() : 0;
}

uint64_t x91_decoder_position(const x91_decoder* decoder) {
    return decoder ? decoder->position : 0;
}

x91_status x91_decoder_trim(x91_decoder* decoder, uint64_t lead_in, uint64_t frames) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        if (decoder->started)
            return x91::Result{x91::Status::invalid_state, "trim after decoding began"};
        decoder->stream.trim(lead_in, frames);
        return x91::Result{};
    });
}

x91_status x91_decoder_decode_packet(x91_decoder* decoder, const uint8_t* packet, size_t size) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        if (decoder->index) return x91::needs_packets("decode_packet");
        decoder->started = true;
        // Drop what was read before the audio grows.
        const std::size_t read = 2 * (decoder->position - decoder->pending_start);
        decoder->pending.erase(decoder->pending.begin(),
                               decoder->pending.begin() + static_cast<std::ptrdiff_t>(read));
        decoder->pending_start = decoder->position;
        return decoder->stream.decode(packet, size, decoder->pending);
    });
}

x91_status x91_decoder_restart(x91_decoder* decoder, uint64_t packet) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        if (decoder->index) return x91::needs_packets("restart");
        // Beyond centuries of audio: no stream has such packets.
        if (packet >= (uint64_t{1} << 40))
            return x91::Result{x91::Status::invalid_argument, "no such packet"};
        decoder->restart_at(packet);
        return x91::Result{};
    });
}

x91_status x91_decoder_seek(x91_decoder* decoder, uint64_t frame) {
    if (decoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        if (!decoder->index) return x91::needs_file("seek");
        decoder->started = true;
        const std::uint64_t target = std::min(frame, decoder->length());
        decoder->restart_at(decoder->timeline().restart_packet(target));
        decoder->position = target;
        decoder->damage_reported = false;
        return x91::Result{};
    });
}

x91_status x91_decoder_read(x91_decoder* decoder, int16_t* pcm, size_t max_frames, size_t* frames) {
    if (frames) *frames = 0;
    if (decoder == nullptr || frames == nullptr || (pcm == nullptr && max_frames > 0))
        return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(decoder->last_error, [&] {
        decoder->started = true;
        x91::Result outcome;
        if (decoder->index) outcome = decoder->decode_up_to_position();
        const std::uint64_t ready = decoder->pending_end() - decoder->position;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(ready, max_frames));
        const std::size_t from = 2 * (decoder->position - decoder->pending_start);
        if (n > 0) std::memcpy(pcm, decoder->pending.data() + from, 4 * n);
        decoder->position += n;
        *frames = n;
        return outcome;
    });
}

const char* x91_decoder_last_error(const x91_decoder* decoder) {
    return decoder ? decoder->last_error.c_str() : "no decoder";
}

}  // extern "C"
