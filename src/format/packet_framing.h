// How packets follow the header in an x91 file: each is its byte count, a
// little-endian 32-bit value, then its bytes; a count of 0, the end marker,
// closes the sequence. What a count means as the file is read is the stream
// parser's decision (stream/stream_parser.h).
#pragma once

#include <array>
#include <cstdint>

#include "format/limits.h"
#include "storage/storage_stream.h"

namespace x91 {

inline constexpr int kPacketCountBytes = 4;
inline constexpr std::int32_t kEndMarker = 0;
// The largest count a reader accepts: kMaxPacketBytes as a count.
inline constexpr std::int32_t kMaxPacketCount = X91_MAX_PACKET_BYTES;

// The bytes of one count (a packet's size, or the end marker), and back.
std::array<unsigned char, kPacketCountBytes> packet_count_image(std::int32_t count);
std::int32_t packet_count_from(const unsigned char* image);

}  // namespace x91
