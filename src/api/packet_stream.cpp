#include "api/packet_stream.h"

#include <algorithm>

namespace x91 {

PacketStream::PacketStream(const Header& header)
    : header_(header), timeline_(header.frames_per_packet) {
    decoder_.emplace(header_);
}

void PacketStream::restart(std::uint64_t packet) {
    decoder_.reset();
    decoder_.emplace(header_);
    next_packet_ = packet;
    restarted_ = packet > 0;
}

Result PacketStream::decode(const std::uint8_t* data, std::size_t size,
                            std::vector<std::int16_t>& pcm) {
    const std::size_t at = pcm.size();
    const std::size_t values = 2 * timeline_.packet_frames(next_packet_);
    Result decoded = decoder_->push_packet(data, size);
    if (restarted_) {
        // A fresh decoder delivers this packet's audio from its second block
        // on, and rebuilds that block from half its overlap: silence stands
        // for both, so the audio keeps its place and holds nothing wrong.
        std::vector<std::int16_t> fresh;
        decoder_->pull(fresh);
        const std::size_t half_rebuilt = std::min(fresh.size(), std::size_t{2} * kBlockFrames);
        const std::size_t kept = std::min(fresh.size() - half_rebuilt, values);
        pcm.resize(at + values - kept, 0);
        pcm.insert(pcm.end(), fresh.end() - static_cast<std::ptrdiff_t>(kept), fresh.end());
    } else {
        decoder_->pull(pcm);
    }
    pcm.resize(at + values, 0);
    const bool refused = !decoded && decoded.status != Status::packet_overrun &&
                         decoded.status != Status::packet_unread_bytes;
    if (refused) {
        // The packet gave nothing: silence holds its place, and the decoder
        // starts afresh with the next one rather than pair the frame it
        // holds with the wrong neighbour.
        restart(next_packet_ + 1);
    } else {
        ++next_packet_;
        restarted_ = false;
    }
    return decoded;
}

}  // namespace x91
