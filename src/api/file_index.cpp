#include "api/file_index.h"

namespace x91 {

FileIndex::FileIndex(const std::uint8_t* file, std::size_t size) {
    PacketReader reader(file, size);
    std::vector<std::uint8_t> packet;
    for (;;) {
        const std::size_t count_at = reader.offset();
        damage_ = reader.next(packet);
        if (!damage_ || packet.empty()) return;
        packets_.push_back({count_at + 4, packet.size()});
    }
}

}  // namespace x91
