// Packets a player finds itself, decoded one by one in the order it hands
// them in, with the jumps of its seeks: the audio keeps its place on the
// stream's timeline (see PacketSequence), and the damage policy holds as
// for a whole stream (stream/damage_policy.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/checked_settings.h"
#include "stream/audio_delivery.h"
#include "stream/damage_policy.h"
#include "stream/packet_sequence.h"
#include "stream/packet_timeline.h"
#include "stream/stream_info.h"

namespace x91 {

class PacketDecoder {
  public:
    explicit PacketDecoder(const CheckedSettings& settings);

    // Before the first packet (invalid_state after): the frames delivered,
    // or those of a block the player read.
    Result trim(const Trim& trim);
    Result use_extension(const StreamInfo& info);
    const PacketTimeline& timeline() const { return timeline_; }
    // ok once use_extension() took a block, no_extension before.
    const Result& extension() const { return extension_; }
    const StreamInfo& info() const { return info_; }

    // Decodes the next packet (its bytes, without the count) into the audio
    // waiting for read(). Its own outcome: ok; packet_overrun or
    // packet_unread_bytes with its audio all the same; packet_too_large with
    // silence of its length; too_damaged when the decode stops after it, and
    // for every packet after that until restart().
    Result decode(const std::uint8_t* data, std::size_t size);

    // Forgets what was decoded and waiting; the next packet is number
    // `packet`. A fresh start for the damage policy too.
    void restart(std::uint64_t packet);

    // Waiting audio, up to max_frames frames.
    void read(std::int16_t* pcm, std::size_t max_frames, std::size_t& frames);

    // Frames the packets decoded so far give, and the next frame read.
    std::uint64_t length() const { return timeline_.stream_frames(next_packet_); }
    std::uint64_t position() const { return position_; }

  private:
    CheckedSettings settings_;
    PacketTimeline timeline_;
    PacketSequence sequence_;
    AudioDelivery delivery_;
    DamagePolicy policy_;
    PacketSequence::Decoded decoded_;
    Result extension_{Status::no_extension, ""};
    StreamInfo info_;
    std::uint64_t next_packet_ = 0;
    std::uint64_t position_ = 0;
    bool started_ = false;
};

}  // namespace x91
