#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "command/conversions.h"
#include "command/x91_input.h"
#include "library/api_internal.h"
#include "library/codec.h"

namespace x91::cli {

namespace {

// Decodes every packet; the first damage of the walk, or ok at the end
// marker. frames counts the frames decoded.
Result walk_packets(X91Input& input, ThreadBudget& threads, std::uint64_t& frames) {
    x91::Decoder decoder = x91::DecoderAccess::make(input.settings(), threads);
    std::vector<std::uint8_t> packet;
    std::span<const std::int16_t> pcm;
    int packets_checked = 0;
    // The first packet decoded so far that is not intact, in stream order:
    // decoding may run ahead of the walk's checks on other threads.
    auto first_damage = [&]() -> Result {
        Result fed;
        while (decoder.pull_packet(pcm, fed)) {
            ++packets_checked;
            frames += pcm.size() / 2;
            if (!fed)
                return {fed.status, "packet " + std::to_string(packets_checked) +
                                        " is damaged: " + fed.message};
        }
        return {};
    };
    Result walked;
    for (;;) {
        walked = input.next(packet);
        if (!walked || packet.empty()) break;
        // The walk bounds every packet, and its own result comes with its
        // audio.
        static_cast<void>(decoder.push_packet(packet.data(), packet.size()));
        if (Result damage = first_damage(); !damage) return damage;
    }
    if (Result finished = decoder.finish(); !finished) return finished;
    if (Result damage = first_damage(); !damage) return damage;
    return walked;
}

}  // namespace

// With an intact block, a CRC that does not match tells more than the
// damage it causes further on (a header refused, a packet cut short), and
// is told first.
Result TestXFile(const Source& in, ThreadBudget& threads) {
    X91Input input(in);
    const Result opened = input.open();
    const Result& found = input.extension();
    if (!opened) {
        if (found && opened.status != Status::read_failed) {
            if (Result crc = input.check_stream_crc(); crc.status == Status::checksum_mismatch)
                return crc;
        }
        return opened;
    }
    std::uint64_t frames = 0;
    const Result walk = walk_packets(input, threads, frames);
    if (walk.status == Status::read_failed) return walk;
    if (found) {
        if (Result crc = input.check_stream_crc(); !crc) return crc;
        if (!walk) return walk;
        const ExtensionContent& block = input.content();
        if (frames < std::uint64_t{block.lead_in} + block.frames)
            return {Status::cut_short,
                    "the packets hold fewer frames than the extension block "
                    "gives the input"};
        return {};
    }
    if (!walk) return walk;
    if (found.status == Status::extension_unknown) return found;
    const Result follows = input.nothing_follows();
    // A block whose footer is damaged is still told by its head.
    if (follows.status == Status::extension_damaged || follows.status == Status::read_failed)
        return follows;
    if (found.status == Status::extension_damaged) return found;
    if (!follows) return follows;
    return {Status::no_extension, ""};
}

}  // namespace x91::cli
