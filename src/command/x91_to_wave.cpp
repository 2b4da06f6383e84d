#include <bit>
#include <deque>
#include <memory>
#include <ostream>
#include <vector>

#include "command/conversions.h"
#include "command/progress_line.h"
#include "command/temp_output.h"
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

ConversionResult XFileToWave(const Source& in, const std::string& out, std::ostream* progress,
                             ThreadBudget& threads) {
    X91Input input(in);
    if (Result opened = input.open(); !opened) return {.result = std::move(opened)};
    const int frames_per_packet = input.settings().dsettings().group.frames;
    std::unique_ptr<TempOutput> temp;
    if (Result opened = open_output(out, temp); !opened) return {.result = std::move(opened)};
    da_WaveWriter writer = temp ? da_WaveWriter(temp->path().c_str(), FORMAT_CDDA)
                                : da_WaveWriter(stdout, FORMAT_CDDA);

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
                if (progress) print_progress_line(*progress, stats.time_count, stats.byte_count);
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

        if (progress)
            *progress << "decoding : '" << in.name << "' to : '" << out << "'" << std::endl;
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
        if (progress) *progress << '\n' << "done." << '\n' << std::flush;
    }

    if (Result finished = writer.finish(); !finished) {
        done.result = std::move(finished);
    } else if (Result committed = commit_output(temp.get()); !committed) {
        done.result = std::move(committed);
    } else if (!damage.ok()) {
        done.result = {damage.status, damage.message + "; kept the audio that could be rebuilt"};
        done.output_kept = true;
    }
    return done;
}

}  // namespace x91::cli
