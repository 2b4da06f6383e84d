#include <memory>
#include <ostream>
#include <vector>

#include "command/audio_output/pcm_sink.h"
#include "command/conversions.h"
#include "command/progress_line.h"
#include "command/temp_output.h"
#include "command/x91_input.h"
#include "library/api_internal.h"
#include "library/tag_list.h"
#include "x91/x91.h"

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
                             std::ostream* progress) {
    X91Input input(in);
    if (Result opened = input.open(); !opened) return {.result = std::move(opened)};
    BlockUse block = use_block(input, raw);
    const int frames_per_packet = input.settings().dsettings().group.frames;
    std::unique_ptr<TempOutput> temp;
    if (Result opened = open_output(out, temp); !opened) return {.result = std::move(opened)};
    std::unique_ptr<PcmSink> sink;
    const std::vector<Tag> tags = tags_from_texts(block.content.tags);
    if (Result opened = open_pcm_sink(out, temp ? temp->path() : "", tags, sink); !opened)
        return {.result = std::move(opened)};

    ConversionResult done;
    ConversionStats& stats = done.stats;
    // Damage found on the way: the first packet that overran, unless the
    // walk then ends on damage of its own. The audio decoded is kept.
    Result damage;
    int damaged_in_a_row = 0;
    bool walked_to_end = false;
    {
        x91::Decoder decoder = x91::DecoderAccess::make(input.settings());
        if (block.trim)
            static_cast<void>(decoder.trim(block.content.lead_in, block.content.frames));
        std::vector<std::uint8_t> packet;
        std::vector<std::int16_t> pcm;
        if (progress)
            *progress << "decoding : '" << in.name << "' to : '" << out << "'" << std::endl;

        while (!sink->failed()) {
            if (Result next = input.next(packet); !next) {
                damage = std::move(next);
                break;
            }
            if (packet.empty()) {
                walked_to_end = true;
                break;
            }
            stats.byte_count += static_cast<std::int64_t>(packet.size());
            stats.time_count += frames_per_packet;
            const Result fed = decoder.push_packet(packet.data(), packet.size());
            const bool overran = fed.status == Status::packet_overrun;
            if (overran && damage.ok())
                damage = {fed.status, "packet " + std::to_string(input.packets()) +
                                          " is damaged: " + fed.message};
            damaged_in_a_row = overran ? damaged_in_a_row + 1 : 0;
            pcm.clear();
            sink->write(pcm.data(), decoder.pull(pcm));
            if (stats.time_count > 0 && progress)
                print_progress_line(*progress, stats.time_count, stats.byte_count);
            // One damaged packet is decoded and the next ones still count:
            // framing keeps them independent. A long run of them is no
            // longer a file with a flaw but noise, and since every packet
            // yields its frames whatever its size, going on would let a
            // small file write an enormous one.
            if (damaged_in_a_row == kMaxDamagedInARow) {
                damage.message += "; stopped after " + std::to_string(kMaxDamagedInARow) +
                                  " damaged packets in a row";
                break;
            }
        }
        if (progress) *progress << '\n' << "done." << '\n' << std::flush;
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
    } else if (Result committed = commit_output(temp.get()); !committed) {
        done.result = std::move(committed);
    } else if (!damage.ok()) {
        done.result = {damage.status, damage.message + "; kept the audio that could be rebuilt"};
        done.output_kept = true;
    } else if (!block.warning.ok()) {
        done.result = block.warning;
        done.output_kept = true;
    }
    return done;
}

}  // namespace x91::cli
