#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "command/audio_output/pcm_sink.h"
#include "command/conversions.h"
#include "command/output.h"
#include "command/progress_display.h"
#include "command/x91_input.h"
#include "library/api_internal.h"
#include "library/codec.h"
#include "library/tag_list.h"

namespace x91::cli {

namespace {

// What the extension block gives the decode: the length and tags when it is
// intact; a warning, and a raw decode, when it is damaged or unknown.
struct BlockUse {
    bool trim = false;
    ExtensionContent content;
    Result warning;
};

BlockUse use_block(const X91Input& input, bool raw) {
    BlockUse use;
    if (raw) return use;
    const Result& found = input.extension();
    if (found) {
        use.trim = true;
        use.content = input.content();
    } else if (found.status != Status::no_extension) {
        use.warning = {found.status, found.message + "; decoded as --raw"};
    }
    return use;
}

}  // namespace

ConversionResult XFileToWave(const Source& in, const std::string& out, bool raw,
                             ProgressDisplay& display, ThreadBudget& threads) {
    X91Input input(in);
    if (Result opened = input.open(); !opened) return {.result = std::move(opened)};
    BlockUse block = use_block(input, raw);
    const int frames_per_packet = input.settings().dsettings().group.frames;
    // Each packet decodes to at most frames_per_packet blocks, so the count
    // of packets bounds the audio from above before anything is written: a
    // WAV that will pass what the plain sizes count becomes RF64 from its
    // first byte.
    const std::optional<std::int64_t> packets = input.packets_ahead();
    const std::int64_t expected_bytes =
        packets ? *packets * frames_per_packet * kBlockFrames * 4 : 0;
    Output output;
    if (Result opened = output.open(out); !opened) return {.result = std::move(opened)};
    std::unique_ptr<PcmSink> sink;
    const std::vector<Tag> tags = tags_from_texts(block.content.tags);
    if (Result opened = open_pcm_sink(out, output, expected_bytes, tags, sink); !opened)
        return {.result = std::move(opened)};

    ConversionResult done;
    ConversionStats& stats = done.stats;
    // Damage found on the way: the first packet that overran, unless the
    // walk then ends on damage of its own. The audio decoded is kept.
    Result damage;
    bool walked_to_end = false;
    {
        x91::Decoder decoder = x91::DecoderAccess::make(input.settings(), threads);
        if (block.trim)
            static_cast<void>(decoder.trim(block.content.lead_in, block.content.frames));
        std::vector<std::uint8_t> packet;
        // The byte counts of the packets pushed whose audio is not written yet.
        std::deque<std::size_t> pushed;
        std::span<const std::int16_t> pcm;
        int packets_written = 0;
        int damaged_in_a_row = 0;
        bool stopped = false;
        // Writes the audio of each packet decoded so far, in stream order,
        // and weighs its result. Decoding may run ahead of this on other
        // threads, so everything that decides where the output ends is
        // decided here, packet by packet, as one thread would.
        auto write_decoded = [&] {
            Result fed;
            while (!stopped && !sink->failed() && decoder.pull_packet(pcm, fed)) {
                ++packets_written;
                stats.byte_count += static_cast<std::int64_t>(pushed.front());
                stats.time_count += frames_per_packet;
                pushed.pop_front();
                const bool overran = fed.status == Status::packet_overrun;
                if (overran && damage.ok())
                    damage = {fed.status, "packet " + std::to_string(packets_written) +
                                              " is damaged: " + fed.message};
                damaged_in_a_row = overran ? damaged_in_a_row + 1 : 0;
                sink->write(pcm.data(), pcm.size() / 2);
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
        while (!sink->failed() && !stopped) {
            walked = input.next(packet);
            if (!walked) break;
            if (packet.empty()) {
                walked_to_end = true;
                break;
            }
            pushed.push_back(packet.size());
            // The walk bounds every packet, and the packet's own result
            // comes with its audio.
            static_cast<void>(decoder.push_packet(packet.data(), packet.size()));
            write_decoded();
        }
        if (!stopped && !sink->failed()) {
            static_cast<void>(decoder.finish());
            write_decoded();
        }
        // The walk's own damage counts only where one thread would have
        // reached it: after every packet before it was written.
        if (!stopped && !walked) damage = std::move(walked);
    }
    // The CRC is checked once the audio is out: a mismatch is told, the
    // audio kept.
    if (damage.ok() && walked_to_end && !raw) {
        if (block.trim) {
            damage = input.check_stream_crc();
        } else if (block.warning.ok()) {
            // A block the footer did not lead to, whose head follows the end
            // marker: damaged, and the decode was raw.
            Result follows = input.nothing_follows();
            if (follows.status == Status::extension_damaged)
                block.warning = {follows.status, follows.message + "; decoded as --raw"};
        }
    }

    if (Result finished = sink->finish(); !finished) {
        done.result = std::move(finished);
    } else if (Result committed = output.commit(); !committed) {
        done.result = std::move(committed);
    } else if (!damage.ok()) {
        done.result = {damage.status, damage.message + "; kept the audio that could be rebuilt"};
        done.output_kept = true;
    } else if (!block.warning.ok()) {
        done.result = block.warning;
        done.output_kept = true;
    }
    display.end(done.result.ok() || done.output_kept);
    return done;
}

}  // namespace x91::cli
