#include <cstdint>
#include <string>
#include <vector>

#include "command/conversions.h"
#include "command/x91_input.h"
#include "library/api_internal.h"
#include "x91/x91.h"

namespace x91::cli {

Result TestXFile(const Source& in, ThreadBudget& threads) {
    X91Input input(in);
    if (Result opened = input.open(); !opened) return opened;
    x91::Decoder decoder = x91::DecoderAccess::make(input.settings(), threads);
    std::vector<std::uint8_t> packet;
    std::vector<std::int16_t> pcm;
    int packets_checked = 0;
    // The first packet decoded so far that is not intact, in stream order:
    // decoding may run ahead of the walk's checks on other threads.
    auto first_damage = [&]() -> Result {
        Result fed;
        while (decoder.pull_packet(pcm, fed)) {
            ++packets_checked;
            pcm.clear();
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
    if (!walked) return walked;
    return input.nothing_follows();
}

}  // namespace x91::cli
