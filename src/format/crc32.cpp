#include "format/crc32.h"

#include <zlib.h>

#include <algorithm>

namespace x91 {

std::uint32_t crc32_update(std::uint32_t crc, const unsigned char* data, std::size_t n) {
    // zlib counts lengths in unsigned int: larger spans go in pieces.
    constexpr std::size_t kLargestPiece = 1u << 30;
    uLong c = crc;
    while (n > 0) {
        const std::size_t piece = std::min(n, kLargestPiece);
        c = crc32(c, data, static_cast<uInt>(piece));
        data += piece;
        n -= piece;
    }
    return static_cast<std::uint32_t>(c);
}

}  // namespace x91
