#include "format/packet_walker.h"

#include <string>

#include "format/packet_framing.h"

namespace x91 {

PacketWalker::PacketWalker(InputStream& in, std::int64_t bytes_left)
    : in_(in), bytes_left_(bytes_left) {}

void PacketWalker::took(std::int64_t bytes) {
    bytes_read_ += bytes;
    if (bytes_left_ != kUnknownLength) bytes_left_ -= bytes;
}

Result PacketWalker::next(std::vector<std::uint8_t>& packet) {
    packet.clear();
    std::int32_t count = 0;
    if (!read_packet_count(in_, count)) return {Status::cut_short, "ends without its end marker"};
    took(kPacketCountBytes);
    if (count == kEndMarker) return {};

    const std::string which = "packet " + std::to_string(packets_ + 1);
    if (count < 0) {
        return {Status::packet_too_large,
                which + " has a negative byte count, " + std::to_string(count)};
    }
    const bool too_large = count > kMaxPacketCount;
    if (too_large || (bytes_left_ != kUnknownLength && count > bytes_left_)) {
        return {too_large ? Status::packet_too_large : Status::cut_short,
                which + " claims " + std::to_string(count) + " bytes, more than the file holds"};
    }
    packet.resize(static_cast<std::size_t>(count));
    const int got = in_.read(reinterpret_cast<char*>(packet.data()), count);
    took(got);
    if (got != count) {
        packet.clear();
        return {Status::cut_short, which + " is cut short"};
    }
    ++packets_;
    return {};
}

}  // namespace x91
