// x91_encoder: the stream layer's StreamWriter behind a C handle, its bytes
// handed to a write callback or kept in pieces for x91_encoder_take_output.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "api/api_status.h"
#include "api/threads_api.h"
#include "format/limits.h"
#include "format/quality.h"
#include "library/bitrate_search.h"
#include "stream/stream_writer.h"
#include "x91/x91.h"

struct x91_encoder {
    // Keeps the pieces for take_output, unless a callback takes them.
    x91_encoder(x91_write_fn write, void* user)
        : writer([this, write, user](const std::uint8_t* data, std::size_t size) {
              if (write != nullptr) return write(user, data, size) == 0;
              pieces.emplace_back(data, data + size);
              return true;
          }),
          writes_out(write != nullptr) {}

    x91::StreamWriter writer;
    bool writes_out;
    float quality = x91::kDefaultQuality;
    bool tuned = false;
    bool started = false;  // the settings are fixed
    std::deque<std::vector<std::uint8_t>> pieces;
    std::vector<std::uint8_t> handed_out;  // the piece the caller holds
    std::string last_error;
    bool broken = false;  // see stream_call

    // The settings go to the writer once, before its first bytes.
    x91::Result start() {
        if (started) return {};
        started = true;
        x91::EncoderOptions options;
        if (x91::Result chosen = x91::options_at_quality(quality, tuned, options); !chosen)
            return chosen;
        return writer.set_options(options);
    }

    x91::Result settings_change() const {
        if (started) return {x91::Status::invalid_state, "settings change after encoding began"};
        return {};
    }
};

namespace x91 {
namespace {

x91_status create(x91_encoder** encoder, x91_write_fn write, void* user) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *encoder = nullptr;
    return guarded(thread_last_error(), [&] {
        *encoder = new x91_encoder(write, user);
        return Result{};
    });
}

// A caller's read callback as the bit-rate search reads audio.
struct PcmCallback {
    x91_pcm_read_fn read;
    void* user;

    static bool read_frames(void* self, std::uint64_t first, std::size_t count, std::int16_t* out) {
        const auto& callback = *static_cast<const PcmCallback*>(self);
        return callback.read(callback.user, first, count, out) == 0;
    }
};

}  // namespace
}  // namespace x91

extern "C" {

x91_status x91_encoder_create(x91_encoder** encoder) {
    return x91::create(encoder, nullptr, nullptr);
}

x91_status x91_encoder_open_callback(x91_encoder** encoder, x91_write_fn write, void* user) {
    if (write == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::create(encoder, write, user);
}

void x91_encoder_destroy(x91_encoder* encoder) {
    delete encoder;
}

x91_status x91_encoder_set_quality(x91_encoder* encoder, double percent) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        if (x91::Result open = encoder->settings_change(); !open) return open;
        // The range check before the narrowing keeps huge values and NaN out.
        if (x91::Result bad = x91::quality_problem(percent); !bad) return bad;
        encoder->quality = static_cast<float>(percent);
        return x91::Result{};
    });
}

x91_status x91_encoder_set_threads(x91_encoder* encoder, int threads) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        if (x91::Result open = encoder->settings_change(); !open) return open;
        if (threads < 1 || threads > x91::kMaxThreads)
            return x91::Result{x91::Status::invalid_argument,
                               "threads must be from 1 to " + std::to_string(x91::kMaxThreads)};
        return encoder->writer.set_threads({threads, 0});
    });
}

x91_status x91_encoder_share_threads(x91_encoder* encoder, x91_threads* threads) {
    if (encoder == nullptr || threads == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        if (x91::Result open = encoder->settings_change(); !open) return open;
        return encoder->writer.share_threads(threads->budget);
    });
}

x91_status x91_encoder_set_tuned(x91_encoder* encoder, int tuned) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        if (x91::Result open = encoder->settings_change(); !open) return open;
        encoder->tuned = tuned != 0;
        return x91::Result{};
    });
}

x91_status x91_encoder_set_extension_block(x91_encoder* encoder, int write) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error,
                        [&] { return encoder->writer.set_extension_block(write != 0); });
}

x91_status x91_encoder_add_tag(x91_encoder* encoder, const char* name, const char* value) {
    if (encoder == nullptr || name == nullptr || value == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        return encoder->writer.add_tag({name, value});
    });
}

x91_status x91_encoder_push(x91_encoder* encoder, const int16_t* pcm, size_t frames) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::stream_call(encoder->broken, encoder->last_error, [&] {
        if (x91::Result started = encoder->start(); !started) return started;
        return encoder->writer.push(pcm, frames);
    });
}

x91_status x91_encoder_finish(x91_encoder* encoder) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::stream_call(encoder->broken, encoder->last_error, [&] {
        if (x91::Result started = encoder->start(); !started) return started;
        return encoder->writer.finish();
    });
}

x91_status x91_encoder_take_output(x91_encoder* encoder, const uint8_t** data, size_t* size) {
    if (encoder == nullptr || data == nullptr || size == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *data = nullptr;
    *size = 0;
    return x91::stream_call(encoder->broken, encoder->last_error, [&] {
        if (encoder->writes_out)
            return x91::Result{x91::Status::invalid_state, "the bytes go to the write callback"};
        if (x91::Result started = encoder->start(); !started) return started;
        // The header is there before the first push.
        if (x91::Result begun = encoder->writer.begin(); !begun) return begun;
        encoder->handed_out.clear();
        if (!encoder->pieces.empty()) {
            encoder->handed_out = std::move(encoder->pieces.front());
            encoder->pieces.pop_front();
            *data = encoder->handed_out.data();
            *size = encoder->handed_out.size();
        }
        return x91::Result{};
    });
}

x91_status x91_encoder_progress(const x91_encoder* encoder, uint64_t* frames, uint64_t* bytes) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    const x91::HeaderSettings* settings = encoder->writer.settings();
    const std::uint64_t per_packet =
        settings ? static_cast<std::uint64_t>(settings->dsettings.group.frames) * X91_BLOCK_FRAMES
                 : 0;
    if (frames) *frames = encoder->writer.packets() * per_packet;
    if (bytes) *bytes = encoder->writer.packet_bytes();
    return X91_OK;
}

x91_status x91_quality_for_bitrate(const int16_t* pcm, size_t frames, double kbps, int tuned,
                                   double* percent) {
    if (percent == nullptr || (pcm == nullptr && frames > 0)) return X91_ERR_INVALID_ARGUMENT;
    *percent = 0;
    return x91::guarded(x91::thread_last_error(), [&] {
        float quality = 0;
        x91::Result found = x91::quality_for_bitrate(pcm, frames, kbps, tuned != 0, quality);
        if (found) *percent = quality;
        return found;
    });
}

x91_status x91_quality_for_bitrate_callback(uint64_t frames, x91_pcm_read_fn read, void* user,
                                            double kbps, int tuned, double* percent) {
    if (percent == nullptr || read == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *percent = 0;
    return x91::guarded(x91::thread_last_error(), [&] {
        x91::PcmCallback callback{read, user};
        const x91::RandomAccessPcm source{frames, &callback, &x91::PcmCallback::read_frames};
        float quality = 0;
        x91::Result found = x91::quality_for_bitrate(source, kbps, tuned != 0, quality);
        if (found) *percent = quality;
        return found;
    });
}

const char* x91_encoder_last_error(const x91_encoder* encoder) {
    return encoder ? encoder->last_error.c_str() : "no encoder";
}

}  // extern "C"
