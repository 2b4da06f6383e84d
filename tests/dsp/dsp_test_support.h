// Shared helpers of the transform tests: seeded random data and naive
// double-precision references.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace x91 {

namespace dsp_test {

// Seed from X91_TEST_SEED when set, else a fixed default; tests print it
// with SCOPED_TRACE so a failure can be replayed.
inline std::uint32_t test_seed() {
    if (const char* s = std::getenv("X91_TEST_SEED"))
        return static_cast<std::uint32_t>(std::strtoul(s, nullptr, 10));
    return 91u;
}

inline std::string seed_text(std::uint32_t seed) {
    return "X91_TEST_SEED=" + std::to_string(seed);
}

// n floats uniformly in [-1, 1).
inline std::vector<float> random_floats(std::mt19937& rng, std::size_t n) {
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& x : v) x = d(rng);
    return v;
}

constexpr double pi = 3.14159265358979323846;

}  // namespace dsp_test

}  // namespace x91
