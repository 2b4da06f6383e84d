// x91_encoder: the library's Encoder behind a C handle, handing out the
// file's bytes piece by piece: header, framed packets, end marker and
// extension block.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "api/api_status.h"
#include "library/codec.h"
#include "library/tag_list.h"
#include "x91/x91.h"

struct x91_encoder {
    x91::Header header;
    float quality = 100;
    bool tuned = false;
    x91::Threading threading;
    // Built on the first push or take_output, which fixes the settings.
    std::optional<x91::Encoder> encoder;
    std::deque<std::vector<std::uint8_t>> pieces;
    std::vector<std::uint8_t> handed_out;  // the piece the caller holds
    std::vector<std::uint8_t> packet;
    std::string last_error;
    bool write_block = true;
    bool finished = false;
    std::vector<x91::Tag> tags;
    std::size_t tag_bytes = 0;  // their room in the extension block
    // A push, finish or take_output that ran out of memory may have left
    // part of its work done: the stream can no longer be told whole.
    bool broken = false;

    x91::Result start() {
        if (encoder) return {};
        if (tuned) {
            // The tuned mode has header settings of its own at each quality.
            x91::EncoderOptions options;
            if (x91::Result chosen = x91::tuned_options(quality, options); !chosen) return chosen;
            header = options.header;
            encoder.emplace(options, threading);
        } else {
            encoder.emplace(header, threading);
        }
        if (!encoder->status()) return encoder->status();
        pieces.push_back(header.bytes());
        return {};
    }

    void collect_packets() {
        while (encoder->next_packet(packet)) {
            std::vector<std::uint8_t> framed;
            framed.reserve(packet.size() + 4);
            x91::append_packet(framed, packet);
            pieces.push_back(std::move(framed));
        }
    }
};

namespace {

// Runs a call that moves the stream on: refused once one of them failed
// part way, and marking the encoder so when this one does.
template <class Body>
x91_status stream_call(x91_encoder* encoder, Body&& body) {
    if (encoder->broken) {
        encoder->last_error = "an earlier call ran out of memory; the output is incomplete";
        return X91_ERR_INVALID_STATE;
    }
    const x91_status status = x91::guarded(encoder->last_error, std::forward<Body>(body));
    if (status == X91_ERR_OUT_OF_MEMORY || status == X91_ERR_INTERNAL) encoder->broken = true;
    return status;
}

}  // namespace

extern "C" {

x91_status x91_encoder_create(x91_encoder** encoder) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *encoder = nullptr;
    std::string error;
    return x91::guarded(error, [&] {
        *encoder = new x91_encoder();
        return x91::Result{};
    });
}

void x91_encoder_destroy(x91_encoder* encoder) {
    delete encoder;
}

x91_status x91_encoder_set_quality(x91_encoder* encoder, double percent) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        if (encoder->encoder)
            return x91::Result{x91::Status::invalid_state, "settings change after encoding began"};
        // The range check before the narrowing keeps huge values and NaN out.
        if (!(percent >= 10 && percent <= 400))
            return x91::Result{x91::Status::invalid_argument,
                               "quality must be from 10 to 400 percent"};
        x91::Header header;
        x91::Result applied = header.apply_quality(static_cast<float>(percent));
        if (applied) {
            encoder->header = header;
            encoder->quality = static_cast<float>(percent);
        }
        return applied;
    });
}

x91_status x91_encoder_set_threads(x91_encoder* encoder, int threads) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        if (encoder->encoder)
            return x91::Result{x91::Status::invalid_state, "settings change after encoding began"};
        if (threads < 1 || threads > x91::kMaxThreads)
            return x91::Result{x91::Status::invalid_argument, "threads must be from 1 to 256"};
        encoder->threading.threads = threads;
        return x91::Result{};
    });
}

x91_status x91_encoder_set_tuned(x91_encoder* encoder, int tuned) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        if (encoder->encoder)
            return x91::Result{x91::Status::invalid_state, "settings change after encoding began"};
        encoder->tuned = tuned != 0;
        return x91::Result{};
    });
}

x91_status x91_encoder_set_extension_block(x91_encoder* encoder, int write) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        if (encoder->finished)
            return x91::Result{x91::Status::invalid_state, "the extension block after finish"};
        encoder->write_block = write != 0;
        return x91::Result{};
    });
}

x91_status x91_encoder_add_tag(x91_encoder* encoder, const char* name, const char* value) {
    if (encoder == nullptr || name == nullptr || value == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(encoder->last_error, [&] {
        if (encoder->finished) return x91::Result{x91::Status::invalid_state, "a tag after finish"};
        std::vector<x91::Tag> tag{{name, value}};
        std::vector<std::string> checked;
        if (x91::Result valid = x91::texts_from_tags(tag, checked); !valid) return valid;
        // Refused now, one tag, rather than all of them at finish.
        const std::size_t bytes = x91::tag_field_bytes(tag.front());
        if (bytes > x91::extension_tag_room() - encoder->tag_bytes)
            return x91::Result{x91::Status::invalid_argument,
                               "the tag does not fit the extension block beside those before it"};
        encoder->tags.push_back(std::move(tag.front()));
        encoder->tag_bytes += bytes;
        return x91::Result{};
    });
}

x91_status x91_encoder_push(x91_encoder* encoder, const int16_t* pcm, size_t frames) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return stream_call(encoder, [&] {
        if (x91::Result started = encoder->start(); !started) return started;
        x91::Result pushed = encoder->encoder->push(pcm, frames);
        encoder->collect_packets();
        return pushed;
    });
}

x91_status x91_encoder_finish(x91_encoder* encoder) {
    if (encoder == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return stream_call(encoder, [&] {
        if (x91::Result started = encoder->start(); !started) return started;
        if (encoder->finished)
            return x91::Result{x91::Status::invalid_state, "finish called twice"};
        // The tags go in first: a refusal leaves the encoder unfinished.
        if (x91::Result tagged = encoder->encoder->set_tags(encoder->tags); !tagged) return tagged;
        x91::Result finished = encoder->encoder->finish();
        if (!finished) return finished;
        encoder->finished = true;
        encoder->collect_packets();
        // The block's CRC covers the header and the framed packets, which
        // are exactly the pieces handed out before.
        std::vector<std::uint8_t> end;
        if (!encoder->write_block) {
            x91::append_end(end);
        } else if (x91::Result ended = encoder->encoder->append_trailer(end); !ended) {
            return ended;
        }
        encoder->pieces.push_back(std::move(end));
        return finished;
    });
}

x91_status x91_encoder_take_output(x91_encoder* encoder, const uint8_t** data, size_t* size) {
    if (encoder == nullptr || data == nullptr || size == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *data = nullptr;
    *size = 0;
    return stream_call(encoder, [&] {
        if (x91::Result started = encoder->start(); !started) return started;
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

const char* x91_encoder_last_error(const x91_encoder* encoder) {
    return encoder ? encoder->last_error.c_str() : "no encoder";
}

}  // extern "C"
