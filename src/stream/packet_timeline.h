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

#include "format/limits.h"

namespace x91 {

// Frames are counted on the delivered timeline: the decode from the start,
// or, once trimmed, only its frames lead_in .. lead_in + frames (an exact
// decode of the input, as the extension block describes it).
class PacketTimeline {
  public:
    explicit PacketTimeline(int frames_per_packet)
        : blocks_per_packet_(static_cast<std::uint64_t>(frames_per_packet)) {}

    void trim(std::uint64_t lead_in, std::uint64_t frames) {
        lead_in_ = lead_in;
        frames_ = frames;
    }
    std::uint64_t lead_in() const { return lead_in_; }

    std::uint64_t blocks_per_packet() const { return blocks_per_packet_; }

    // Where packet p's audio starts in a decode from the start.
    std::uint64_t raw_packet_start(std::uint64_t p) const {
        return p == 0 ? 0 : raw_frames_of_block(blocks_per_packet_, p, -1);
    }

    // The first delivered frame of packet p's audio.
    std::uint64_t packet_start(std::uint64_t p) const { return delivered(raw_packet_start(p)); }
    // Frames packet p delivers.
    std::uint64_t packet_frames(std::uint64_t p) const {
        return packet_start(p + 1) - packet_start(p);
    }
    // Frames a stream of `packets` packets delivers.
    std::uint64_t stream_frames(std::uint64_t packets) const { return packet_start(packets); }

    // The first frame a decoder started afresh at packet p gives exactly.
    std::uint64_t restart_exact_from(std::uint64_t p) const {
        return delivered(p == 0 ? 0 : raw_frames_of_block(blocks_per_packet_, p, 1));
    }

    // The packet a decoder starting afresh must begin with for `frame` to
    // come out exact: the latest q with F·q + 1 <= the frame's block, or 0.
    std::uint64_t restart_packet(std::uint64_t frame) const {
        const std::uint64_t raw = frame > UINT64_MAX - lead_in_ ? UINT64_MAX : frame + lead_in_;
        const std::uint64_t block = raw / kBlock;
        return block <= 1 ? 0 : (block - 1) / blocks_per_packet_;
    }

  private:
    static constexpr std::uint64_t kBlock = kBlockFrames;

    // (F·p + shift)·882, saturated: packet numbers come from callers too.
    static std::uint64_t raw_frames_of_block(std::uint64_t f, std::uint64_t p, int shift) {
        std::uint64_t blocks = 0, frames = 0;
        if (__builtin_mul_overflow(f, p, &blocks)) return UINT64_MAX;
        if (shift < 0) {
            blocks -= 1;  // p > 0 and F > 0: no wrap
        } else if (blocks == UINT64_MAX) {
            return UINT64_MAX;
        } else {
            blocks += 1;
        }
        if (__builtin_mul_overflow(blocks, kBlock, &frames)) return UINT64_MAX;
        return frames;
    }

    // A frame of the decode from the start on the delivered timeline.
    std::uint64_t delivered(std::uint64_t raw) const {
        const std::uint64_t from_lead_in = raw > lead_in_ ? raw - lead_in_ : 0;
        return from_lead_in < frames_ ? from_lead_in : frames_;
    }

    std::uint64_t blocks_per_packet_;
    std::uint64_t lead_in_ = 0;
    std::uint64_t frames_ = UINT64_MAX;
};

}  // namespace x91
