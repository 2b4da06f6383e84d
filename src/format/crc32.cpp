#include "format/crc32.h"

#include <array>

namespace x91 {

namespace {

// The reflected form of the polynomial 0x04C11DB7: bits are taken least
// significant first, as the bytes of a file are fed in.
constexpr std::uint32_t kPolynomial = 0xEDB88320u;

constexpr std::array<std::uint32_t, 256> make_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? kPolynomial ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = make_table();

}  // namespace

std::uint32_t crc32_update(std::uint32_t crc, const unsigned char* data, std::size_t n) {
    // The register starts as all ones and is inverted at the end, so that
    // leading and trailing zero bytes change the result.
    std::uint32_t c = ~crc;
    for (std::size_t i = 0; i < n; ++i) c = kTable[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
    return ~c;
}

}  // namespace x91
