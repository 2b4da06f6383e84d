// How packets follow the header in an x91 file: each is its byte count, a
// little-endian 32-bit value, then its bytes; a count of 0, the end marker,
// closes the sequence, and nothing follows it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "format/limits.h"
#include "storage/storage_stream.h"

namespace x91 {

inline constexpr int kPacketCountBytes = 4;
inline constexpr std::int32_t kEndMarker = 0;
// The largest count a reader accepts: kMaxPacketBytes as a count.
inline constexpr std::int32_t kMaxPacketCount = X91_MAX_PACKET_BYTES;

// The bytes of one count (a packet's size, or the end marker).
std::array<unsigned char, kPacketCountBytes> packet_count_image(std::int32_t count);

// Writes one count; true only if all four bytes were accepted.
[[nodiscard]] bool write_packet_count(OutputStream& out, std::int32_t count);

// Writes a packet: its count, then its bytes; true only if all were accepted.
[[nodiscard]] bool write_packet(OutputStream& out, const std::vector<std::uint8_t>& packet);

// Reads the next count; true only if all four bytes arrived, count is
// untouched otherwise. What a count means is the walker's decision
// (format/packet_walker.h).
[[nodiscard]] bool read_packet_count(InputStream& in, std::int32_t& count);

}  // namespace x91
