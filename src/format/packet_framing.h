// How packets follow the header in an x91 file: each is its byte count, a
// little-endian 32-bit value, then its bytes; a count of 0, the end marker,
// closes the sequence, and nothing follows it.
#pragma once

#include <cstdint>

#include "storage/storage_stream.h"

namespace x91 {

inline constexpr int kPacketCountBytes = 4;
inline constexpr std::int32_t kEndMarker = 0;

// Writes one count (a packet's size, or the end marker); true only if all
// four bytes were accepted.
bool write_packet_count(OutputStream& out, std::int32_t count);

// Reads the next count; true only if all four bytes arrived, count is
// untouched otherwise. What a count of 0 or less means is the reader's
// decision: a decoder stops there, a check calls a negative one damage.
bool read_packet_count(InputStream& in, std::int32_t& count);

}  // namespace x91
