#include "stream/packet_decoder.h"

#include <string>

namespace x91 {

PacketDecoder::PacketDecoder(const CheckedSettings& settings)
    : settings_(settings),
      timeline_(settings.dsettings().group.frames),
      sequence_(settings, DecodeThreads{}) {}

Result PacketDecoder::trim(const Trim& trim) {
    if (started_) return {Status::invalid_state, "trim after decoding began"};
    timeline_.trim(trim.lead_in, trim.frames);
    delivery_.trim(trim);
    return {};
}

Result PacketDecoder::use_extension(const StreamInfo& info) {
    if (started_) return {Status::invalid_state, "extension block after decoding began"};
    info_ = info;
    extension_ = {};
    return trim({info.lead_in, info.frames});
}

Result PacketDecoder::decode(const std::uint8_t* data, std::size_t size) {
    started_ = true;
    const std::uint64_t number = next_packet_++;
    if (policy_.stopped()) {
        // What follows so many damaged packets is noise: nothing more is
        // decoded until a restart.
        return {Status::too_damaged, "the decode stopped after " +
                                         std::to_string(kMaxDamagedInARow) +
                                         " damaged packets in a row"};
    }
    sequence_.push(data, size);
    static_cast<void>(sequence_.take(decoded_));
    const Result told = policy_.weigh(number, decoded_.result);
    delivery_.add(decoded_.raw_start, decoded_.pcm, {});
    if (told.status == Status::too_damaged) return told;
    return decoded_.result;
}

void PacketDecoder::restart(std::uint64_t packet) {
    started_ = true;
    sequence_.restart(packet);
    policy_.reset();
    next_packet_ = packet;
    position_ = timeline_.packet_start(packet);
    delivery_.restart(position_);
}

void PacketDecoder::read(std::int16_t* pcm, std::size_t max_frames, std::size_t& frames) {
    static_cast<void>(delivery_.take(pcm, max_frames, frames));
    position_ += frames;
}

}  // namespace x91
