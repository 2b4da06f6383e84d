#include <memory>
#include <new>
#include <vector>

#include "command/audio_input/open_input.h"
#include "command/bitrate_choice.h"
#include "command/conversions.h"
#include "command/encode_settings.h"
#include "command/io_failure.h"
#include "command/output.h"
#include "command/progress_display.h"
#include "command/tag_names.h"
#include "format/packet_framing.h"
#include "format/settings_io.h"
#include "library/api_internal.h"
#include "library/codec.h"
#include "storage/file_stream.h"

namespace x91::cli {

namespace {

// The tags the extension block gets; beyond its room they are left out, with
// a warning, rather than failing the encode.
Result tag_encoder(x91::Encoder& encoder, const PcmSource& source, const EncodeSettings& settings,
                   std::string& warning) {
    std::size_t left_out = 0;
    std::vector<Tag> tags = tags_for_block(source.tags(), settings.tags, left_out);
    if (left_out > 0 || source.tags_left_out())
        warning = "tags beyond the extension block's 16 MiB left out";
    return encoder.set_tags(tags);
}

// The end marker, and the extension block unless the file is plain.
bool write_end(FileWriter& writer, x91::Encoder& encoder, bool plain) {
    if (plain) return write_packet_count(writer, kEndMarker);
    std::vector<std::uint8_t> trailer;
    if (!encoder.append_trailer(trailer)) return false;
    const auto n = static_cast<int>(trailer.size());
    return writer.write(reinterpret_cast<const char*>(trailer.data()), n) == n;
}

ConversionResult encode_to_x91(const Source& in, const std::string& out,
                               const EncodeSettings& settings, ProgressDisplay& display,
                               ThreadBudget& threads) {
    std::unique_ptr<PcmSource> source;
    if (Result opened = open_pcm_source(in, source); !opened) return {.result = std::move(opened)};
    EncodeSettings chosen = settings;
    if (settings.bitrate) {
        if (Result found = choose_for_bitrate(source, chosen); !found)
            return {.result = std::move(found)};
    }
    const HeaderSettings header = header_settings(chosen);
    x91::Encoder encoder = x91::EncoderAccess::make(chosen.esettings, header, threads,
                                                    chosen.tuned ? &chosen.tuning : nullptr);
    if (!encoder.status()) return {.result = encoder.status()};
    std::string warning;
    if (!settings.plain) {
        if (Result tagged = tag_encoder(encoder, *source, settings, warning); !tagged)
            return {.result = std::move(tagged)};
    }
    Output output;
    if (Result opened = output.open(out); !opened) return {.result = std::move(opened)};
    FileWriter writer(output.stream());

    ConversionResult done{.warning = std::move(warning)};
    ConversionStats& stats = done.stats;
    std::vector<std::uint8_t> packet;
    // Writes every packet the encoder has ready; false once a write failed.
    auto write_ready_packets = [&] {
        while (encoder.next_packet(packet)) {
            if (!write_packet(writer, packet)) return false;
            stats.byte_count += static_cast<std::int64_t>(packet.size());
            stats.time_count += chosen.dsettings.group.frames;
        }
        if (stats.time_count > 0) display.update(stats.time_count, stats.byte_count);
        return true;
    };

    display.begin("encoding", in.name, out);
    // Audio is read in pieces of 32 blocks (113 KiB), which the system
    // delivers in one call each, straight into place.
    constexpr std::size_t kReadFrames = 32 * static_cast<std::size_t>(kBlockFrames);
    std::vector<std::int16_t> samples(2 * kReadFrames);
    Result encoded;
    bool writing = write_x91_header(writer, header);
    // Audio is read until it ends; its length need not be known in
    // advance, so a stream of unknown length encodes like a file.
    while (writing && encoded) {
        const std::size_t got = source->read(samples.data(), kReadFrames);
        if (got > 0) {
            encoded = encoder.push(samples.data(), got);
            writing = write_ready_packets();
        }
        if (got < kReadFrames) break;
    }
    const Result input_end = source->end_status();
    const bool input_failed = !input_end && input_end.status != Status::cut_short;
    if (!input_failed && writing && encoded) {
        encoded = encoder.finish();
        writing = write_ready_packets();
    }
    const bool ended =
        writing && encoded && !input_failed && write_end(writer, encoder, settings.plain);

    if (input_failed) {
        done.result = input_end;
    } else if (!encoded) {
        done.result = std::move(encoded);
    } else if (!writer.close() || !ended) {
        // A write that failed left the writer failed, with the reason.
        done.result = io_failure(Status::write_failed, "cannot write", writer.error());
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
                             ThreadBudget& threads) {
    try {
        return encode_to_x91(in, out, settings, display, threads);
    } catch (const std::bad_alloc&) {
        display.end(false);
        return {.result = out_of_memory()};
    }
}

}  // namespace x91::cli
