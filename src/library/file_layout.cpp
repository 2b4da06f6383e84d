#include <algorithm>

#include "format/packet_framing.h"
#include "format/packet_walker.h"
#include "library/codec.h"
#include "storage/memory_stream.h"

namespace x91 {

static_assert(kMaxPacketBytes == static_cast<std::size_t>(kMaxPacketCount));

void append_packet(std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& packet) {
    const auto count = packet_count_image(static_cast<std::int32_t>(packet.size()));
    file.insert(file.end(), count.begin(), count.end());
    file.insert(file.end(), packet.begin(), packet.end());
}

void append_end(std::vector<std::uint8_t>& file) {
    const auto count = packet_count_image(kEndMarker);
    file.insert(file.end(), count.begin(), count.end());
}

struct PacketReader::Impl {
    std::size_t start;
    MemoryStream in;
    PacketWalker walker;

    Impl(const std::uint8_t* file, std::size_t size)
        : start(std::min(size, kHeaderBytes)),
          in(file ? file + start : nullptr, size - start),
          walker(in, static_cast<std::int64_t>(size - start)) {}
};

PacketReader::PacketReader(const std::uint8_t* file, std::size_t size)
    : impl_(std::make_unique<Impl>(file, file ? size : 0)) {}
PacketReader::~PacketReader() = default;
PacketReader::PacketReader(PacketReader&&) noexcept = default;
PacketReader& PacketReader::operator=(PacketReader&&) noexcept = default;

Result PacketReader::next(std::vector<std::uint8_t>& packet) {
    return impl_->walker.next(packet);
}

std::size_t PacketReader::offset() const {
    return impl_->start + static_cast<std::size_t>(impl_->walker.bytes_read());
}

}  // namespace x91
