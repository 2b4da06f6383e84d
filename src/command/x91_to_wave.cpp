#include <bit>
#include <deque>
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

// Writes samples as interleaved little-endian 16-bit WAV data, block by
// block; on a little-endian host they are those bytes already.
void write_samples(da_WaveWriter& writer, const std::vector<std::int16_t>& samples,
                   std::vector<char>& bytes) {
    const char* data = reinterpret_cast<const char*>(samples.data());
    if constexpr (std::endian::native != std::endian::little) {
        bytes.resize(2 * samples.size());
        for (std::size_t k = 0; k < samples.size(); ++k) {
            const auto v = static_cast<std::uint16_t>(samples[k]);
            bytes[2 * k] = static_cast<char>(v & 0xFF);
            bytes[2 * k + 1] = static_cast<char>(v >> 8);
        }
        data = bytes.data();
    }
    for (std::size_t at = 0; at < 2 * samples.size(); at += kBlockBytes)
        writer.rawwrite(data + at, kBlockBytes);
}

}  // namespace

ConversionResult XFileToWave(const Source& in, const std::string& out, ProgressDisplay& display,
                             ThreadBudget& threads) {
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
    {
        x91::Decoder decoder = x91::DecoderAccess::make(input.settings(), threads);
        std::vector<std::uint8_t> packet;
        // The byte counts of the packets pushed whose audio is not written yet.
        std::deque<std::size_t> pushed;
        std::vector<std::int16_t> pcm;
        std::vector<char> bytes_out;
        int packets_written = 0;
        int damaged_in_a_row = 0;
        bool stopped = false;
        // Writes the audio of each packet decoded so far, in stream order,
        // and weighs its result. Decoding may run ahead of this on other
        // threads, so everything that decides where the output ends is
        // decided here, packet by packet, as one thread would.
        auto write_decoded = [&] {
            Result fed;
            while (!stopped && !writer.failed() && decoder.pull_packet(pcm, fed)) {
                ++packets_written;
                stats.byte_count += static_cast<std::int64_t>(pushed.front());
                stats.time_count += frames_per_packet;
                pushed.pop_front();
                const bool overran = fed.status == Status::packet_overrun;
                if (overran && damage.ok())
                    damage = {fed.status, "packet " + std::to_string(packets_written) +
                                              " is damaged: " + fed.message};
                damaged_in_a_row = overran ? damaged_in_a_row + 1 : 0;
                write_samples(writer, pcm, bytes_out);
                pcm.clear();
                if (stats.time_count > 0) display.update(stats.time_count, stats.byte_count);
                // One damaged packet is decoded and the next ones still count:
                // framing keeps them independent. A long run of them is no
                // longer a file with a flaw but noise, and since every packet
                // yields its frames whatever its size, going on would let a
                // small file write an enormous one.
                if (damaged_in_a_row == kMaxDamagedInARow) {
                    damage.message += "; stopped after " + std::to_string(kMaxDamagedInARow) +
                                      " damaged packets in a row";
                    stopped = true;
                }
            }
        };

        display.begin("decoding", in.name, out);
        Result walked;
        while (!writer.failed() && !stopped) {
            walked = input.next(packet);
            if (!walked || packet.empty()) break;
            pushed.push_back(packet.size());
            // The walk bounds every packet, and the packet's own result
            // comes with its audio.
            static_cast<void>(decoder.push_packet(packet.data(), packet.size()));
            write_decoded();
        }
        if (!stopped && !writer.failed()) {
            static_cast<void>(decoder.finish());
            write_decoded();
        }
        if (!stopped && !walked) damage = std::move(walked);
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
