#include "stream/packet_index.h"

#include <algorithm>

namespace x91 {

void PacketIndex::add(std::uint64_t offset) {
    if (packets_ % stride_ == 0) {
        if (offsets_.size() == kMaxEntries) {
            // Keep every other entry: packets 0, 2·stride, 4·stride, ...
            for (std::size_t i = 0; 2 * i < offsets_.size(); ++i) offsets_[i] = offsets_[2 * i];
            offsets_.resize(offsets_.size() / 2);
            stride_ *= 2;
        }
        if (packets_ % stride_ == 0) offsets_.push_back(offset);
    }
    ++packets_;
}

std::pair<std::uint64_t, std::uint64_t> PacketIndex::at_or_before(std::uint64_t packet) const {
    if (packet >= packets_ || offsets_.empty()) return {packets_, end_};
    const std::uint64_t entry = std::min<std::uint64_t>(packet / stride_, offsets_.size() - 1);
    return {entry * stride_, offsets_[entry]};
}

}  // namespace x91
