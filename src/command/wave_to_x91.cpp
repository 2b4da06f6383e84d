// The encode of one file: its audio through the library's encoder, whose
// bytes go to the output as they are made.
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "command/audio_input/open_input.h"
#include "command/bitrate_choice.h"
#include "command/codec_handles.h"
#include "command/conversions.h"
#include "command/io_failure.h"
#include "command/output.h"
#include "command/progress_display.h"
#include "command/tag_names.h"

namespace x91::cli {

namespace {

// Where the encoder's bytes go, and why the last write failed.
struct WriteTarget {
    const Output* output;
    int error = 0;

    static int write(void* user, const std::uint8_t* data, std::size_t size) {
        auto& target = *static_cast<WriteTarget*>(user);
        if (std::fwrite(data, 1, size, target.output->stream()) == size) return 0;
        target.error = errno;
        return 1;
    }
};

Result library_outcome(x91_status status, x91_encoder* encoder) {
    return from_library(status,
                        encoder ? x91_encoder_last_error(encoder) : x91_thread_last_error());
}

// Gives the encoder the tags of the input and the command line that the
// extension block has room for; beyond that they are left out, with a
// warning, rather than failing the encode.
Result add_tags(x91_encoder* encoder, const PcmSource& source, const EncodeSettings& settings,
                std::string& warning) {
    std::vector<Tag> tags;
    std::size_t left_out = 0;
    if (Result fitted = tags_for_block(source.tags(), settings.tags, tags, left_out); !fitted)
        return fitted;
    if (left_out > 0 || source.tags_left_out())
        warning = "tags beyond the extension block's 16 MiB left out";
    for (const Tag& tag : tags) {
        const x91_status s = x91_encoder_add_tag(encoder, tag.name.c_str(), tag.value.c_str());
        if (s != X91_OK) return library_outcome(s, encoder);
    }
    return {};
}

// An encoder with the run's settings, the quality searched for the bit rate
// with -b, and the tags of the input and the command line: ok, or why not.
Result make_encoder(const EncodeSettings& settings, std::unique_ptr<PcmSource>& source,
                    x91_threads* threads, WriteTarget& target, EncoderHandle& encoder,
                    std::string& warning) {
    std::optional<double> quality = settings.quality;
    if (settings.bitrate) {
        double found = 0;
        if (Result chosen = choose_for_bitrate(source, settings, found); !chosen) return chosen;
        quality = found;
    }
    x91_encoder* made = nullptr;
    if (x91_status s = x91_encoder_open_callback(&made, &WriteTarget::write, &target); s != X91_OK)
        return library_outcome(s, nullptr);
    encoder.reset(made);
    x91_status s = x91_encoder_set_tuned(made, settings.tuned ? 1 : 0);
    if (s == X91_OK && quality) s = x91_encoder_set_quality(made, *quality);
    if (s == X91_OK && threads != nullptr) s = x91_encoder_share_threads(made, threads);
    if (s == X91_OK) s = x91_encoder_set_extension_block(made, settings.plain ? 0 : 1);
    if (s != X91_OK) return library_outcome(s, made);
    return settings.plain ? Result{} : add_tags(made, *source, settings, warning);
}

// Pushes the audio until it ends and finishes the file: the encoder's
// outcome; input_end tells how the audio ended.
Result encode_audio(PcmSource& source, x91_encoder* encoder, ProgressDisplay& display,
                    ConversionStats& stats, Result& input_end) {
    // Audio is read in pieces of 32 blocks (113 KiB), which the system
    // delivers in one call each, straight into place. Its length need not
    // be known in advance, so a stream of unknown length encodes like a file.
    constexpr std::size_t kReadFrames = 32 * static_cast<std::size_t>(kBlockFrames);
    std::vector<std::int16_t> samples(2 * kReadFrames);
    auto show_progress = [&] {
        std::uint64_t frames = 0, bytes = 0;
        static_cast<void>(x91_encoder_progress(encoder, &frames, &bytes));
        stats.time_count = static_cast<std::int64_t>(frames / kBlockFrames);
        stats.byte_count = static_cast<std::int64_t>(bytes);
        if (stats.time_count > 0) display.update(stats.time_count, stats.byte_count);
    };
    Result encoded;
    for (;;) {
        const std::size_t got = source.read(samples.data(), kReadFrames);
        if (got > 0) {
            encoded = library_outcome(x91_encoder_push(encoder, samples.data(), got), encoder);
            show_progress();
        }
        if (!encoded || got < kReadFrames) break;
    }
    input_end = source.end_status();
    const bool input_failed = !input_end && input_end.status != Status::cut_short;
    if (!input_failed && encoded) {
        encoded = library_outcome(x91_encoder_finish(encoder), encoder);
        show_progress();
    }
    return encoded;
}

ConversionResult encode_to_x91(const Source& in, const std::string& out,
                               const EncodeSettings& settings, ProgressDisplay& display,
                               x91_threads* threads) {
    std::unique_ptr<PcmSource> source;
    if (Result opened = open_pcm_source(in, source); !opened) return {.result = std::move(opened)};
    Output output;
    WriteTarget target{&output};
    EncoderHandle encoder;
    ConversionResult done;
    if (Result made = make_encoder(settings, source, threads, target, encoder, done.warning); !made)
        return {.result = std::move(made)};
    if (Result opened = output.open(out); !opened) return {.result = std::move(opened)};

    display.begin("encoding", in.name, out);
    Result input_end;
    const Result encoded = encode_audio(*source, encoder.get(), display, done.stats, input_end);
    const bool input_failed = !input_end && input_end.status != Status::cut_short;
    if (input_failed) {
        done.result = input_end;
    } else if (encoded.status == Status::write_failed) {
        done.result = io_failure(Status::write_failed, "cannot write", target.error);
    } else if (!encoded) {
        done.result = encoded;
    } else if (Result committed = output.commit(); !committed) {
        done.result = std::move(committed);
    } else if (!input_end) {
        done.result = input_end;
        done.output_kept = true;
    }
    display.end(done.result.ok() || done.output_kept);
    return done;
}

}  // namespace

// Running out of memory abandons the file: unwinding closes and removes the
// temporary output, and the run goes on with the next file.
ConversionResult WaveToXFile(const Source& in, const std::string& out,
                             const EncodeSettings& settings, ProgressDisplay& display,
                             x91_threads* threads) {
    try {
        return encode_to_x91(in, out, settings, display, threads);
    } catch (const std::bad_alloc&) {
        display.end(false);
        return {.result = out_of_memory()};
    }
}

}  // namespace x91::cli
