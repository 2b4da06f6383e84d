// The decode of one file: the library reads it through the command's
// callbacks (a file at will, a stream once from its start) and gives its
// audio, which goes to the output as it comes.
#include <memory>
#include <vector>

#include "command/audio_output/pcm_sink.h"
#include "command/codec_handles.h"
#include "command/conversions.h"
#include "command/output.h"
#include "command/progress_display.h"
#include "command/x91_reader.h"

namespace x91::cli {

namespace {

// A decoder over the input, trimmed to every frame for --raw: ok, or why
// the input cannot be decoded.
Result open_decoder(X91Reader& reader, bool raw, x91_threads* threads, DecoderHandle& decoder) {
    if (Result opened = reader.open(); !opened) return opened;
    x91_decoder* made = nullptr;
    const x91_status status = x91_decoder_open_callbacks(&made, &reader.io(), reader.user());
    if (status == X91_ERR_READ_FAILED) return reader.read_failure();
    if (status != X91_OK) return from_library(status, x91_thread_last_error());
    decoder.reset(made);
    x91_status set = X91_OK;
    if (threads != nullptr) set = x91_decoder_share_threads(made, threads);
    if (set == X91_OK && raw) set = x91_decoder_trim(made, 0, UINT64_MAX);
    return from_library(set, x91_decoder_last_error(made));
}

// The audio of one decode on its way out: the sink is opened with the
// first frames, when the tags of a stream read in one pass may be known
// already, and the damage met is kept for the end.
class DecodeOutput {
  public:
    DecodeOutput(x91_decoder* decoder, const std::string& out, Output& output, bool raw)
        : decoder_(decoder), out_(out), output_(output), raw_(raw) {}

    // Writes frames; false when the sink could not be opened or written.
    bool write(const std::int16_t* pcm, std::size_t frames) {
        if (!sink_ && !open_sink()) return false;
        if (frames > 0) sink_->write(pcm, frames);
        return !sink_->failed();
    }

    // Weighs the outcome of a read: false when the decode cannot go on.
    bool weigh(x91_status status);

    const Result& damage() const { return damage_; }
    const Result& opened() const { return opened_; }
    PcmSink* sink() { return sink_.get(); }

  private:
    bool open_sink();

    x91_decoder* decoder_;
    const std::string& out_;
    Output& output_;
    bool raw_;
    std::unique_ptr<PcmSink> sink_;
    Result opened_;
    Result damage_;
};

// Tags go only with the exact decode; a WAV that will pass what the plain
// sizes count becomes RF64 from its first byte, which a file read at will
// knows before the first frame.
bool DecodeOutput::open_sink() {
    std::vector<Tag> tags;
    for (std::size_t i = 0; !raw_ && i < x91_decoder_tag_count(decoder_); ++i) {
        const char *name = nullptr, *value = nullptr;
        if (x91_decoder_tag(decoder_, i, &name, &value) == X91_OK) tags.push_back({name, value});
    }
    const auto expected_bytes = static_cast<std::int64_t>(x91_decoder_length(decoder_) * 4);
    opened_ = open_pcm_sink(out_, output_, expected_bytes, tags, sink_);
    if (!opened_) sink_.reset();
    return opened_.ok();
}

// One damaged packet is kept and the next ones still count: framing keeps
// them independent. The damage reported is the first packet's, unless the
// framing fails on its own further on; a stop is added to it.
bool DecodeOutput::weigh(x91_status status) {
    const Result found = from_library(status, x91_decoder_last_error(decoder_));
    switch (status) {
        case X91_OK:
        case X91_ERR_PACKET_UNREAD_BYTES:
            return true;
        case X91_ERR_PACKET_DAMAGED:
            if (damage_.ok()) damage_ = found;
            return true;
        case X91_ERR_TOO_DAMAGED:
            if (damage_.ok()) {
                damage_ = found;
            } else {
                damage_.message += "; stopped after " + std::to_string(X91_MAX_DAMAGED_IN_A_ROW) +
                                   " damaged packets in a row";
            }
            return true;
        case X91_ERR_READ_FAILED:
        case X91_ERR_OUT_OF_MEMORY:
        case X91_ERR_INVALID_STATE:
        case X91_ERR_INTERNAL:
            // Not damage of the file: the decode cannot go on.
            damage_ = found;
            return false;
        default:
            damage_ = found;
            return true;
    }
}

// What stops a decode without being the file's damage leaves no output: a
// read that failed, memory that ran out.
bool keeps_nothing(const Result& stop) {
    return stop.status == Status::read_failed || stop.status == Status::out_of_memory ||
           stop.status == Status::invalid_state;
}

// The warning the extension block gives a decode that was not --raw: a
// damaged or unknown block leaves the decode raw; a CRC that does not
// match is damage, unless damage was met already.
Result block_outcome(x91_decoder* decoder, Result& damage) {
    const x91_status found = x91_decoder_exact_length(decoder, nullptr, nullptr);
    if (found == X91_ERR_EXTENSION_DAMAGED || found == X91_ERR_EXTENSION_UNKNOWN)
        return from_library(
            found, std::string(x91_decoder_extension_error(decoder)) + "; decoded as --raw");
    if (found == X91_ERR_CHECKSUM_MISMATCH && damage.ok())
        damage = from_library(found, "checksum mismatch");
    return {};
}

// Reads the whole stream into out; false when it had to stop early.
bool decode_all(x91_decoder* decoder, DecodeOutput& out, ProgressDisplay& display,
                ConversionStats& stats) {
    constexpr std::size_t kReadFrames = 16 * static_cast<std::size_t>(kBlockFrames);
    std::vector<std::int16_t> pcm(2 * kReadFrames);
    for (;;) {
        std::size_t frames = 0;
        const x91_status status = x91_decoder_read(decoder, pcm.data(), kReadFrames, &frames);
        std::uint64_t coded_frames = 0, bytes = 0;
        static_cast<void>(x91_decoder_progress(decoder, &coded_frames, &bytes));
        stats.time_count = static_cast<std::int64_t>(coded_frames / kBlockFrames);
        stats.byte_count = static_cast<std::int64_t>(bytes);
        if (stats.time_count > 0) display.update(stats.time_count, stats.byte_count);
        if (!out.weigh(status)) return false;
        if (!out.write(pcm.data(), frames)) return false;
        if (frames == 0 && (x91_decoder_ended(decoder) || status == X91_OK)) return true;
    }
}

}  // namespace

ConversionResult XFileToWave(const Source& in, const std::string& out, bool raw,
                             ProgressDisplay& display, x91_threads* threads) {
    X91Reader reader(in);
    DecoderHandle decoder;
    if (Result opened = open_decoder(reader, raw, threads, decoder); !opened)
        return {.result = std::move(opened)};
    Output output;
    if (Result opened = output.open(out); !opened) return {.result = std::move(opened)};

    ConversionResult done;
    DecodeOutput audio(decoder.get(), out, output, raw);
    display.begin("decoding", in.name, out);
    const bool whole = decode_all(decoder.get(), audio, display, done.stats);
    Result damage = audio.damage();
    if (damage.status == Status::read_failed) damage = reader.read_failure();
    const Result warning = whole && !raw ? block_outcome(decoder.get(), damage) : Result{};

    if (!audio.opened()) {
        done.result = audio.opened();
    } else if (keeps_nothing(damage)) {
        done.result = std::move(damage);
    } else if (Result finished = audio.sink()->finish(); !finished) {
        done.result = std::move(finished);
    } else if (Result committed = output.commit(); !committed) {
        done.result = std::move(committed);
    } else if (!damage.ok()) {
        done.result = {damage.status, damage.message + "; kept the audio that could be rebuilt"};
        done.output_kept = true;
    } else if (!warning.ok()) {
        done.result = warning;
        done.output_kept = true;
    }
    display.end(done.result.ok() || done.output_kept);
    return done;
}

}  // namespace x91::cli
