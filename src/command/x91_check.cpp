#include <cstdint>
#include <string>
#include <vector>

#include "command/conversions.h"
#include "command/x91_input.h"
#include "library/api_internal.h"
#include "x91/x91.h"

namespace x91::cli {

Result TestXFile(const Source& in) {
    X91Input input(in);
    if (Result opened = input.open(); !opened) return opened;
    ExtensionContent block;
    const Result found = input.find_extension(block);
    if (found.status == Status::read_failed) return found;
    x91::Decoder decoder = x91::DecoderAccess::make(input.settings());
    std::vector<std::uint8_t> packet;
    std::vector<std::int16_t> pcm;
    std::uint64_t frames = 0;
    // The first damage of the walk; with an intact block, a CRC that does
    // not match tells more, and is told first.
    Result walk;
    for (;;) {
        if (Result next = input.next(packet); !next) {
            walk = std::move(next);
            break;
        }
        if (packet.empty()) break;
        const Result fed = decoder.push_packet(packet.data(), packet.size());
        if (!fed) {
            walk = {fed.status,
                    "packet " + std::to_string(input.packets()) + " is damaged: " + fed.message};
            break;
        }
        pcm.clear();
        frames += decoder.pull(pcm);
    }
    if (walk.status == Status::read_failed) return walk;
    if (found) {
        if (Result crc = input.check_stream_crc(block.stream_crc); !crc) return crc;
        if (!walk) return walk;
        if (frames < std::uint64_t{block.lead_in} + block.frames)
            return {Status::cut_short,
                    "the packets hold fewer frames than the extension block "
                    "gives the input"};
        return {};
    }
    if (!walk) return walk;
    if (found.status == Status::extension_damaged) return found;
    if (Result follows = input.nothing_follows(); !follows) {
        // A block whose footer is damaged is still told by its head.
        if (found.status == Status::extension_unknown && follows.status != Status::read_failed)
            return found;
        return follows;
    }
    return {Status::no_extension, ""};
}

}  // namespace x91::cli
