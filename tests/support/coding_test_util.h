// Shared helpers of the coding tests: seeded randomness and scratch packets.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "framework/bit_stream.h"
#include "support/test_seed.h"

namespace x91 {

namespace coding_test {

// The default seed of the coding tests (see SeededRng).
inline constexpr std::uint32_t kSeed = 20240611u;

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

// Two packets of the same random bytes, for two readers side by side.
inline std::pair<std::unique_ptr<da_BinRWBase>, std::unique_ptr<da_BinRWBase>> twin_random_packets(
    std::mt19937& rng, int bytes) {
    const std::uint32_t state = static_cast<std::uint32_t>(rng());
    std::mt19937 same_a(state), same_b(state);
    return {random_packet(same_a, bytes), random_packet(same_b, bytes)};
}

// The bits from position from to to, as '0'/'1' characters in stream order.
inline std::string bit_string(const da_BinRWBase& p, int from, int to) {
    std::string s;
    for (int i = from; i < to; ++i) s += get_bit(p.data(), i) ? '1' : '0';
    return s;
}

inline int uniform(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

}  // namespace coding_test

}  // namespace x91
