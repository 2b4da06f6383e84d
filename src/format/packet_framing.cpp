#include "format/packet_framing.h"

namespace x91 {

static_assert(sizeof(std::int32_t) == kPacketCountBytes);

std::array<unsigned char, kPacketCountBytes> packet_count_image(std::int32_t count) {
    std::array<unsigned char, kPacketCountBytes> image;
    storage_detail::to_bytes(count, image.data());
    return image;
}

std::int32_t packet_count_from(const unsigned char* image) {
    std::int32_t count = 0;
    storage_detail::from_bytes(image, count);
    return count;
}

}  // namespace x91
