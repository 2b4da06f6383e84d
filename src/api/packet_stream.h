// Decodes the packets of one stream in order from any packet on, keeping
// the decoded audio in step with the stream's timeline: a packet that cannot
// be decoded gives silence of its length, and a restart at packet q > 0
// gives silence where the audio needs the packet before q.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "api/packet_timeline.h"
#include "library/codec.h"

namespace x91 {

class PacketStream {
  public:
    // header must pass Header::check().
    explicit PacketStream(const Header& header);

    const PacketTimeline& timeline() const { return timeline_; }

    // The packet the next decode() takes.
    std::uint64_t next_packet() const { return next_packet_; }

    // Drops the waiting audio and the decoder's state; packet is the next
    // one decode() gets.
    void restart(std::uint64_t packet);

    // Delivers only frames lead_in .. lead_in + frames of the decode.
    void trim(std::uint64_t lead_in, std::uint64_t frames) { timeline_.trim(lead_in, frames); }

    // Decodes the next packet (its bytes, without the count) and appends its
    // audio to pcm, interleaved: always packet_frames(next_packet()) frames.
    // The outcome is the decoder's: damaged packets still give their audio.
    Result decode(const std::uint8_t* data, std::size_t size, std::vector<std::int16_t>& pcm);

  private:
    Header header_;
    PacketTimeline timeline_;
    std::optional<Decoder> decoder_;
    std::vector<std::int16_t> raw_;  // a packet's audio before trimming
    std::uint64_t next_packet_ = 0;
    bool restarted_ = false;  // the next packet is the first after a restart at q > 0
};

}  // namespace x91
