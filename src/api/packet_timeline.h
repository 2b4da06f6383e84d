// Where each packet's audio lies in a decoded stream, and where decoding
// must start for a given frame to come out exactly as in a decode from the
// start.
//
// A packet carries F frames (blocks of 882 sample frames). Decoding rebuilds
// a block from two neighbouring frames (the transform overlaps them) and
// quantises a frame with the masking curve that leaves the curve model one
// frame late, so packet p delivers blocks F·p − 1 to F·p + F − 2: the last
// frame of the packet before it, and all but its own last. Packet 0 has no
// frame before it and delivers F − 1 blocks, the first being the transform's
// lead-in.
//
// Nothing else carries over between packets: the coders start afresh in
// each packet and the curve depends on its own frame only. So a decoder
// started at packet q > 0 misses block F·q − 1 (its frame lies in packet
// q − 1) and rebuilds block F·q from half of its overlap; from block F·q + 1
// on, its output is that of a decode from the start.
#pragma once

#include <cstdint>

#include "library/codec.h"

namespace x91 {

class PacketTimeline {
  public:
    explicit PacketTimeline(int frames_per_packet)
        : blocks_per_packet_(static_cast<std::uint64_t>(frames_per_packet)) {}

    std::uint64_t blocks_per_packet() const { return blocks_per_packet_; }

    // The first sample frame of packet p's audio.
    std::uint64_t packet_start(std::uint64_t p) const {
        return p == 0 ? 0 : (blocks_per_packet_ * p - 1) * kBlock;
    }
    // Sample frames packet p delivers.
    std::uint64_t packet_frames(std::uint64_t p) const {
        return packet_start(p + 1) - packet_start(p);
    }
    // Sample frames of a stream of `packets` packets.
    std::uint64_t stream_frames(std::uint64_t packets) const { return packet_start(packets); }

    // The first frame a decoder started afresh at packet p gives exactly.
    std::uint64_t restart_exact_from(std::uint64_t p) const {
        return p == 0 ? 0 : (blocks_per_packet_ * p + 1) * kBlock;
    }

    // The packet a decoder starting afresh must begin with for `frame` to
    // come out exact: the latest q with F·q + 1 <= the frame's block, or 0.
    std::uint64_t restart_packet(std::uint64_t frame) const {
        const std::uint64_t block = frame / kBlock;
        return block <= 1 ? 0 : (block - 1) / blocks_per_packet_;
    }

  private:
    static constexpr std::uint64_t kBlock = kBlockFrames;
    std::uint64_t blocks_per_packet_;
};

}  // namespace x91
