#include "format/packet_framing.h"

namespace x91 {

static_assert(sizeof(std::int32_t) == kPacketCountBytes);

std::array<unsigned char, kPacketCountBytes> packet_count_image(std::int32_t count) {
    std::array<unsigned char, kPacketCountBytes> image;
    storage_detail::to_bytes(count, image.data());
    return image;
}

bool write_packet_count(OutputStream& out, std::int32_t count) {
    const auto image = packet_count_image(count);
    return out.write(reinterpret_cast<const char*>(image.data()), kPacketCountBytes) ==
           kPacketCountBytes;
}

bool write_packet(OutputStream& out, const std::vector<std::uint8_t>& packet) {
    const auto count = static_cast<std::int32_t>(packet.size());
    return write_packet_count(out, count) &&
           out.write(reinterpret_cast<const char*>(packet.data()), count) == count;
}

bool read_packet_count(InputStream& in, std::int32_t& count) {
    return read(in, count);
}

}  // namespace x91
