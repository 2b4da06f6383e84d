// Walks the packets that follow an x91 header, in a file, a stream or
// memory. Each count is checked against the largest packet and against what
// the input can still hold before anything is allocated for it, so no count
// a damaged file holds can make the reader allocate beyond its input.
#pragma once

#include <cstdint>
#include <vector>

#include "storage/storage_stream.h"
#include "x91/status.h"

namespace x91 {

// The length of an input whose end is not known in advance (a pipe).
inline constexpr std::int64_t kUnknownLength = -1;

class PacketWalker {
  public:
    // in stands at the first count; bytes_left is what it holds from there,
    // or kUnknownLength.
    PacketWalker(InputStream& in, std::int64_t bytes_left);

    // Reads the next packet into packet: ok with the packet, or ok with an
    // empty packet at the end marker. Otherwise packet is empty and the
    // result names the damage:
    // - cut_short: "ends without its end marker" when no whole count is
    //   left, "packet N is cut short" when its bytes end early, and "packet
    //   N claims C bytes, more than the file holds" when the input is known
    //   to hold less;
    // - packet_too_large: the same "claims" for a count beyond
    //   kMaxPacketCount, or "packet N has a negative byte count, C".
    // An input that fails looks like one that ends here; a caller that can
    // tell an I/O error from the end reports that instead.
    [[nodiscard]] Result next(std::vector<std::uint8_t>& packet);

    // Packets read whole so far.
    int packets() const { return packets_; }
    // Bytes taken from the input so far, counts included.
    std::int64_t bytes_read() const { return bytes_read_; }

  private:
    void took(std::int64_t bytes);

    InputStream& in_;
    std::int64_t bytes_left_;
    std::int64_t bytes_read_ = 0;
    int packets_ = 0;
};

}  // namespace x91
