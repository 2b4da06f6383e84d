#include <cstdint>
#include <string>
#include <vector>

#include "command/conversions.h"
#include "command/x91_input.h"
#include "library/api_internal.h"
#include "library/codec.h"

namespace x91::cli {

Result TestXFile(const Source& in) {
    X91Input input(in);
    if (Result opened = input.open(); !opened) return opened;
    x91::Decoder decoder = x91::DecoderAccess::make(input.settings());
    std::vector<std::uint8_t> packet;
    std::vector<std::int16_t> pcm;
    for (;;) {
        if (Result next = input.next(packet); !next) return next;
        if (packet.empty()) break;
        const Result fed = decoder.push_packet(packet.data(), packet.size());
        if (!fed)
            return {fed.status,
                    "packet " + std::to_string(input.packets()) + " is damaged: " + fed.message};
        pcm.clear();
        decoder.pull(pcm);
    }
    return input.nothing_follows();
}

}  // namespace x91::cli
