// Every median-split code of a set within at most kSmallSetSpan positions,
// worked out once, for both directions. Reading: for n positions
// and 0 < k < n elements, the next `bits` stream bits (the length of the
// longest such code) pick an entry that holds the set as a mask and the
// length of its own code. Writing: the set's mask picks its code and length.
// The entries come from the bit-by-bit reader and writer themselves, so they
// are their results.
#pragma once

#include <array>
#include <cstdint>

#include "coding/integer_codes.h"

namespace x91 {

inline constexpr int kSmallSetSpan = 10;
// Where the length of a written code starts, above its codeword.
inline constexpr int kSmallSetLengthShift = 12;

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

// The median-split writer, bit by bit, for the set `mask` within positions
// lo .. lo + n - 1 (k of its bits lie there).
struct PatternWriter {
    std::uint32_t bits = 0;
    int count = 0;
    constexpr void write(int value, int nbits) {
        if (nbits <= 0) return;
        bits = (bits << nbits) | (static_cast<std::uint32_t>(value) & ((1u << nbits) - 1));
        count += nbits;
    }
};

constexpr void write_set(PatternWriter& out, std::uint32_t mask, int lo, int n, int k) {
    if (k <= 0 || k >= n) return;
    const int m = k / 2;
    int median = lo;
    for (int seen = 0;; ++median)
        if ((mask >> median) & 1) {
            if (seen == m) break;
            ++seen;
        }
    write_rng_num(out, n - k + 1, median - lo - m);
    write_set(out, mask, lo, median - lo, m);
    write_set(out, mask, median + 1, lo + n - 1 - median, k - m - 1);
}

struct SmallSetIndex {
    std::uint16_t offset;
    std::uint8_t bits;
};

struct SmallSetTable {
    std::array<std::array<SmallSetIndex, kSpan + 1>, kSpan + 1> index{};
    // The mask in the low kSpan bits, the code's length above them.
    std::array<std::uint16_t, table_size()> codes{};
    // For n positions, the entry of each mask from (1 << n) - 4 on: the
    // codeword in the low bits, its length from kSmallSetLengthShift on (0 for
    // an empty or full set).
    std::array<std::uint16_t, (2 << kSpan) - 4> written{};
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
    for (int n = 2; n <= kSpan; ++n)
        for (std::uint32_t mask = 0; mask < (1u << n); ++mask) {
            PatternWriter out;
            write_set(out, mask, 0, n, __builtin_popcount(mask));
            t.written[(1u << n) - 4 + mask] =
                static_cast<std::uint16_t>(out.bits | out.count << kSmallSetLengthShift);
        }
    return t;
}

}  // namespace small_set_detail

// Built by build_table() before main: some compilers would stop evaluating
// it at compile time, as it takes more steps than they allow.
extern const small_set_detail::SmallSetTable kSmallSetTable;

}  // namespace x91
