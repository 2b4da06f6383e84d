// Every median-split code of a set within at most kSmallSetSpan positions,
// worked out at compile time: for n positions and 0 < k < n elements, the
// next `bits` stream bits (the length of the longest such code) pick an
// entry that holds the set as a mask and the length of its own code. The
// entries come from the bit-by-bit reader itself, so they are its results.
#pragma once

#include <array>
#include <cstdint>

#include "coding/integer_codes.h"

inline constexpr int kSmallSetSpan = 10;

namespace small_set_detail {

constexpr int kSpan = kSmallSetSpan;
using Grid = std::array<std::array<int, kSpan + 1>, kSpan + 1>;

// The longest code over every set of k in n, built up from smaller parts: a
// median gap, then the longest left and right parts that gap allows.
constexpr Grid longest_codes() {
    Grid longest{};
    for (int n = 2; n <= kSpan; ++n)
        for (int k = 1; k < n; ++k) {
            const int m = k / 2, range = n - k + 1;
            for (int gap = 0; gap < range; ++gap) {
                const int bits = rng_num_bits(range, gap) + longest[m + gap][m] +
                                 longest[n - m - gap - 1][k - m - 1];
                if (bits > longest[n][k]) longest[n][k] = bits;
            }
        }
    return longest;
}
inline constexpr Grid kLongest = longest_codes();

constexpr int table_size() {
    int size = 0;
    for (int n = 2; n <= kSpan; ++n)
        for (int k = 1; k < n; ++k) size += 1 << kLongest[n][k];
    return size;
}

// `count` bits, first bit at the top, read as the packet reads them.
struct PatternBits {
    std::uint32_t bits;
    int count;
    int taken = 0;
    constexpr int read(int nbits) {
        if (nbits <= 0) return 0;
        taken += nbits;
        return static_cast<int>((bits >> (count - taken)) & ((1u << nbits) - 1));
    }
};

// The bit-by-bit median-split reader over positions lo .. lo + n - 1.
constexpr void read_set(PatternBits& in, int lo, int n, int k, std::uint32_t& mask) {
    if (k <= 0) return;
    if (k >= n) {
        mask |= ((1u << n) - 1) << lo;
        return;
    }
    const int m = k / 2;
    const int gap = read_rng_num(in, n - k + 1);
    mask |= 1u << (lo + m + gap);
    read_set(in, lo, m + gap, m, mask);
    read_set(in, lo + m + gap + 1, n - m - gap - 1, k - m - 1, mask);
}

struct SmallSetIndex {
    std::uint16_t offset;
    std::uint8_t bits;
};

struct SmallSetTable {
    std::array<std::array<SmallSetIndex, kSpan + 1>, kSpan + 1> index{};
    // The mask in the low kSpan bits, the code's length above them.
    std::array<std::uint16_t, table_size()> codes{};
};

constexpr SmallSetTable build_table() {
    SmallSetTable t;
    int offset = 0;
    for (int n = 2; n <= kSpan; ++n)
        for (int k = 1; k < n; ++k) {
            const int bits = kLongest[n][k];
            t.index[n][k] = {static_cast<std::uint16_t>(offset), static_cast<std::uint8_t>(bits)};
            for (std::uint32_t pattern = 0; pattern < (1u << bits); ++pattern) {
                PatternBits in{pattern, bits};
                std::uint32_t mask = 0;
                read_set(in, 0, n, k, mask);
                t.codes[offset + pattern] = static_cast<std::uint16_t>(mask | in.taken << kSpan);
            }
            offset += 1 << bits;
        }
    return t;
}

}  // namespace small_set_detail

inline constexpr small_set_detail::SmallSetTable kSmallSetTable = small_set_detail::build_table();
