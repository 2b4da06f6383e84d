// Decodes an x91 file held in memory the way the decode driver does: header
// first, then each length-prefixed packet through the decode chain. Whatever
// the bytes, decoding must end, stay in bounds and rebuild exactly one block
// per frame the packets carry, less the transform's lead-in.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "dsp/fft.h"
#include "format/packet_framing.h"
#include "format/settings_io.h"
#include "framework/packets.h"
#include "graphs/decode_chain.h"
#include "storage/memory_stream.h"
#include "x91/x91.h"

using namespace x91;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    da_fft_init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryStream in(data, size);
    std::optional<CheckedSettings> header;
    if (!read_x91_header(in, header)) return 0;
    const int frames_per_packet = header->dsettings().group.frames;

    DecodeChain chain(*header);
    std::int64_t packets = 0;
    std::int64_t blocks = 0;
    // Every packet yields its frames whatever it holds, so a file of tiny
    // packets at 256 frames each decodes for minutes: time grows with the
    // frames, not the bytes. Beyond a few thousand frames nothing new is
    // reached, so each input stops there.
    constexpr std::int64_t kMaxFrames = 4096;
    for (; packets * frames_per_packet < kMaxFrames;) {
        int n = 0;
        if (!read_packet_count(in, n) || n <= 0) break;
        const std::size_t remaining = static_cast<std::size_t>(in.size() - in.possition());
        if (static_cast<std::size_t>(n) > std::min(x91::kMaxPacketBytes, remaining)) break;
        std::unique_ptr<unsigned char[]> bytes(new unsigned char[n]);
        if (in.read(reinterpret_cast<char*>(bytes.get()), n) != n) std::abort();
        chain.feed_packet(packet_from_bytes(std::move(bytes), n));
        ++packets;
        while (chain.has_block()) {
            const auto pcm = chain.take_block();
            if (!pcm) std::abort();
            ++blocks;
        }
        // Every packet is decoded whole in the call that brings it.
        if (blocks != packets * frames_per_packet - 1) std::abort();
    }
    return 0;
}
