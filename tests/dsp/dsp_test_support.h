// Shared helpers of the transform tests: seeded random data and naive
// double-precision references.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "support/test_seed.h"

namespace x91 {

namespace dsp_test {

// The default seed of the transform tests (see SeededRng).
inline constexpr std::uint32_t kSeed = 91u;

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
