// x91 files put together and taken apart in tests by their byte counts
// alone, independently of the library's own framing, so that a fault there
// shows rather than cancels out.
#pragma once

#include <cstdint>
#include <vector>

#include "support/wav_bytes.h"

namespace x91test {

inline constexpr std::size_t kX91Header = 62;

// A packet behind its byte count.
inline void append_counted(Bytes& file, const Bytes& packet) {
    put32(file, static_cast<std::uint32_t>(packet.size()));
    file.insert(file.end(), packet.begin(), packet.end());
}

// The count of 0 that ends the packets.
inline void append_end(Bytes& file) {
    put32(file, 0);
}

// The packets behind the header, up to the end marker or the first count
// that does not fit the file.
inline std::vector<Bytes> packets_of(const Bytes& file) {
    std::vector<Bytes> packets;
    for (std::size_t at = kX91Header; at + 4 <= file.size();) {
        const std::uint32_t count = le32(file, at);
        if (count == 0 || count > file.size() - at - 4) break;
        packets.emplace_back(file.begin() + static_cast<long>(at + 4),
                             file.begin() + static_cast<long>(at + 4 + count));
        at += 4 + count;
    }
    return packets;
}

}  // namespace x91test
