// The packets of an x91 file held in memory, found once by walking their
// byte counts, so that a decoder can start at any of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "library/codec.h"

namespace x91 {

struct PacketSpan {
    std::size_t offset;  // of the packet's bytes in the file, behind its count
    std::size_t size;
};

class FileIndex {
  public:
    // Walks file (header included) up to its end marker or to the first
    // damage, which damage() then names; the packets before it stay usable.
    FileIndex(const std::uint8_t* file, std::size_t size);

    const std::vector<PacketSpan>& packets() const { return packets_; }
    // ok, or what ended the walk before an end marker.
    const Result& damage() const { return damage_; }

  private:
    std::vector<PacketSpan> packets_;
    Result damage_;
};

}  // namespace x91
