#include <bit>
#include <cstring>
#include <optional>
#include <vector>

#include "command/conversions.h"
#include "command/output.h"
#include "command/progress_display.h"
#include "command/x91_input.h"
#include "library/api_internal.h"
#include "storage/wave_writer.h"
#include "x91/x91.h"

namespace x91::cli {

namespace {

constexpr int kBlockBytes = x91::kBlockFrames * 4;

// Sample values as interleaved little-endian 16-bit WAV data.
void bytes_from_samples(const std::int16_t* samples, std::size_t count, std::vector<char>& bytes) {
    bytes.resize(2 * count);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes.data(), samples, 2 * count);
    } else {
        for (std::size_t k = 0; k < count; ++k) {
            const auto v = static_cast<std::uint16_t>(samples[k]);
            bytes[2 * k] = static_cast<char>(v & 0xFF);
            bytes[2 * k + 1] = static_cast<char>(v >> 8);
        }
    }
}

}  // namespace

ConversionResult XFileToWave(const Source& in, const std::string& out, ProgressDisplay& display) {
    X91Input input(in);
    if (Result opened = input.open(); !opened) return {.result = std::move(opened)};
    const int frames_per_packet = input.settings().dsettings().group.frames;
    // Each packet decodes to at most frames_per_packet blocks, so the count
    // of packets bounds the audio from above before anything is written: a
    // file that will pass what the plain WAV sizes count becomes RF64 from
    // its first byte. A stream's length shows only at its end.
    const std::optional<std::int64_t> packets = input.packets_ahead();
    const std::int64_t expected_bytes = packets ? *packets * frames_per_packet * kBlockBytes : 0;
    Output output;
    if (Result opened = output.open(out); !opened) return {.result = std::move(opened)};
    da_WaveWriter writer(output.stream(), FORMAT_CDDA,
                         output.rewindable() ? da_WaveWriter::Sizes::fixed_at_finish
                                             : da_WaveWriter::Sizes::streamed,
                         expected_bytes);

    ConversionResult done;
    ConversionStats& stats = done.stats;
    // Damage found on the way: the first packet that overran, unless the
    // walk then ends on damage of its own. The audio decoded is kept.
    Result damage;
    int damaged_in_a_row = 0;
    x91::Decoder decoder = x91::DecoderAccess::make(input.settings());
    std::vector<std::uint8_t> packet;
    std::vector<std::int16_t> pcm;
    std::vector<char> bytes_out;
    display.begin("decoding", in.name, out);

    while (!writer.failed()) {
        if (Result next = input.next(packet); !next) {
            damage = std::move(next);
            break;
        }
        if (packet.empty()) break;
        stats.byte_count += static_cast<std::int64_t>(packet.size());
        stats.time_count += frames_per_packet;
        const Result fed = decoder.push_packet(packet.data(), packet.size());
        const bool overran = fed.status == Status::packet_overrun;
        if (overran && damage.ok())
            damage = {fed.status,
                      "packet " + std::to_string(input.packets()) + " is damaged: " + fed.message};
        damaged_in_a_row = overran ? damaged_in_a_row + 1 : 0;
        pcm.clear();
        decoder.pull(pcm);
        bytes_from_samples(pcm.data(), pcm.size(), bytes_out);
        for (std::size_t at = 0; at < bytes_out.size(); at += kBlockBytes)
            writer.rawwrite(bytes_out.data() + at, kBlockBytes);
        if (stats.time_count > 0) display.update(stats.time_count, stats.byte_count);
        // One damaged packet is decoded and the next ones still count:
        // framing keeps them independent. A long run of them is no longer a
        // file with a flaw but noise, and since every packet yields its
        // frames whatever its size, going on would let a small file write an
        // enormous one.
        if (damaged_in_a_row == kMaxDamagedInARow) {
            damage.message += "; stopped after " + std::to_string(kMaxDamagedInARow) +
                              " damaged packets in a row";
            break;
        }
    }

    if (Result finished = writer.finish(); !finished) {
        done.result = std::move(finished);
    } else if (Result committed = output.commit(); !committed) {
        done.result = std::move(committed);
    } else if (!damage.ok()) {
        done.result = {damage.status, damage.message + "; kept the audio that could be rebuilt"};
        done.output_kept = true;
    }
    display.end(done.result.ok() || done.output_kept);
    return done;
}

}  // namespace x91::cli
