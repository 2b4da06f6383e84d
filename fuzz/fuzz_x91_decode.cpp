// Decodes an x91 file held in memory through the library's public decoder,
// as any program using it would: the header, then each packet the packet
// reader finds. Whatever the bytes, decoding must end, stay in bounds and
// rebuild exactly one block per frame the packets carry, less the
// transform's lead-in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "library/codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    x91::Header header;
    if (!x91::Header::parse(data, size, header)) return 0;
    x91::Decoder decoder(header);
    // A header that parses is one a decoder can run with.
    if (!decoder.status()) std::abort();
    const std::int64_t frames_per_packet = header.frames_per_packet;

    x91::PacketReader packets(data, size);
    std::vector<std::uint8_t> packet;
    std::vector<std::int16_t> pcm;
    std::int64_t decoded = 0;
    std::int64_t blocks = 0;
    // Every packet yields its frames whatever it holds, so a file of tiny
    // packets at 256 frames each decodes for minutes: time grows with the
    // frames, not the bytes. Beyond a few thousand frames nothing new is
    // reached, so each input stops there.
    constexpr std::int64_t kMaxFrames = 4096;
    while (decoded * frames_per_packet < kMaxFrames && packets.next(packet) && !packet.empty()) {
        const x91::Status fed = decoder.push_packet(packet.data(), packet.size()).status;
        // Damage inside a packet is decoded as far as it goes; nothing else
        // may go wrong with a packet the reader accepted.
        if (fed != x91::Status::ok && fed != x91::Status::packet_overrun &&
            fed != x91::Status::packet_unread_bytes)
            std::abort();
        ++decoded;
        pcm.clear();
        const std::size_t frames = decoder.pull(pcm);
        if (frames % x91::kBlockFrames != 0 || pcm.size() != 2 * frames) std::abort();
        blocks += static_cast<std::int64_t>(frames / x91::kBlockFrames);
        // Every packet is decoded whole in the call that brings it.
        if (blocks != decoded * frames_per_packet - 1) std::abort();
    }
    return 0;
}
