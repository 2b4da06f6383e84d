// Shared helpers of the coding tests: seeded randomness and scratch packets.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "coding/integer_codes.h"

namespace coding_test {

// X91_TEST_SEED overrides the default so a failure can be replayed.
inline unsigned test_seed(unsigned fallback = 20240611u) {
    const char* env = std::getenv("X91_TEST_SEED");
    return env ? static_cast<unsigned>(std::strtoul(env, nullptr, 10)) : fallback;
}

inline std::string seed_note(unsigned seed) {
    return "seed " + std::to_string(seed);
}

// An owning packet over a buffer of the given size, filled with a pattern so
// that bits the writer fails to set or clear would show.
inline std::unique_ptr<da_BinRWBase> scratch_packet(int capacity, unsigned char fill = 0xA5) {
    auto* buf = new unsigned char[capacity > 0 ? capacity : 1];
    for (int i = 0; i < capacity; ++i) buf[i] = fill;
    return std::make_unique<da_BinRWBase>(buf, capacity, true);
}

// A packet holding a copy of the first bits of a written packet, the rest of
// its bytes cut off: what a damaged file delivers.
inline std::unique_ptr<da_BinRWBase> copy_packet(const da_BinRWBase& src, int bytes) {
    auto* buf = new unsigned char[bytes > 0 ? bytes : 1];
    for (int i = 0; i < bytes; ++i) buf[i] = src.data()[i];
    return std::make_unique<da_BinRWBase>(buf, bytes, true);
}

inline std::unique_ptr<da_BinRWBase> random_packet(std::mt19937& rng, int bytes) {
    auto* buf = new unsigned char[bytes > 0 ? bytes : 1];
    for (int i = 0; i < bytes; ++i) buf[i] = static_cast<unsigned char>(rng());
    return std::make_unique<da_BinRWBase>(buf, bytes, true);
}

// The bits from position from to to, as '0'/'1' characters in stream order.
inline std::string bit_string(const da_BinRWBase& p, int from, int to) {
    std::string s;
    for (int i = from; i < to; ++i) s += get_bit(p.data(), i) ? '1' : '0';
    return s;
}

// The median-split set reader as the plain recursion of its definition.
inline void reference_read_set(da_BinReader& r, int* p, int lo, int hi, int k) {
    const int n = hi - lo + 1;
    if (k <= 0) return;
    if (n - k <= 0) {
        for (int i = 0; i < k; ++i) p[i] = std::min(lo + i, hi);
        return;
    }
    const int m = k / 2;
    p[m] = lo + m + read_rng_num(r, n - k + 1);
    reference_read_set(r, p, lo, p[m] - 1, m);
    reference_read_set(r, p + m + 1, p[m] + 1, hi, k - m - 1);
}

inline int uniform(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

}  // namespace coding_test
