// CRC-32 with the common IEEE polynomial, as zlib, PNG and Ethernet compute
// it; zlib does the work.
#pragma once

#include <cstddef>
#include <cstdint>

namespace x91 {

// Continues crc over n more bytes; start with 0. The CRC of the bytes of
// "123456789" is 0xCBF43926, and feeding data in pieces gives the CRC of the
// whole.
std::uint32_t crc32_update(std::uint32_t crc, const unsigned char* data, std::size_t n);

}  // namespace x91
