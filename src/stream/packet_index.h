// Where the packets of a file read at will stand, found by walking their
// byte counts once: the offset of every stride-th packet's count, the
// stride doubling whenever the index fills, so that a file of any number of
// packets is indexed in bounded memory. A seek walks the few counts from
// the nearest indexed packet to its target.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace x91 {

class PacketIndex {
  public:
    // The next packet's count stands at offset.
    void add(std::uint64_t offset);
    // The walk ended at offset, behind the last packet: where the end
    // marker or the damage stands.
    void end_at(std::uint64_t offset) { end_ = offset; }

    std::uint64_t packets() const { return packets_; }

    // The nearest packet at or before `packet` whose offset is known, and
    // that offset; packets() gives end().
    std::pair<std::uint64_t, std::uint64_t> at_or_before(std::uint64_t packet) const;

  private:
    static constexpr std::size_t kMaxEntries = std::size_t{1} << 16;

    std::vector<std::uint64_t> offsets_;  // of packets 0, stride, 2·stride, ...
    std::uint64_t stride_ = 1;
    std::uint64_t packets_ = 0;
    std::uint64_t end_ = 0;
};

}  // namespace x91
