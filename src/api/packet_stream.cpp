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
    const std::uint64_t raw_start = timeline_.raw_packet_start(next_packet_);
    const std::size_t values =
        static_cast<std::size_t>(2 * (timeline_.raw_packet_start(next_packet_ + 1) - raw_start));
    raw_.clear();
    Result decoded = decoder_->push_packet(data, size);
    if (restarted_) {
        // A fresh decoder delivers this packet's audio from its second block
        // on, and rebuilds that block from half its overlap: silence stands
        // for both, so the audio keeps its place and holds nothing wrong.
        std::vector<std::int16_t> fresh;
        decoder_->pull(fresh);
        const std::size_t half_rebuilt = std::min(fresh.size(), std::size_t{2} * kBlockFrames);
        const std::size_t kept = std::min(fresh.size() - half_rebuilt, values);
        raw_.resize(values - kept, 0);
        raw_.insert(raw_.end(), fresh.end() - static_cast<std::ptrdiff_t>(kept), fresh.end());
    } else {
        decoder_->pull(raw_);
    }
    raw_.resize(values, 0);
    // The part on the delivered timeline (all of it unless trimmed).
    const std::uint64_t lead_in = timeline_.lead_in();
    const std::size_t from =
        static_cast<std::size_t>(2 * (std::max(raw_start, lead_in) - raw_start));
    const std::size_t count = static_cast<std::size_t>(2 * timeline_.packet_frames(next_packet_));
    if (from < raw_.size())
        pcm.insert(pcm.end(), raw_.begin() + static_cast<std::ptrdiff_t>(from),
                   raw_.begin() + static_cast<std::ptrdiff_t>(std::min(raw_.size(), from + count)));

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
