// Seeds for the randomised tests: each test has a fixed default, and
// X91_TEST_SEED replaces it so that a failure can be replayed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

inline std::uint32_t test_seed(std::uint32_t fallback) {
    if (const char* s = std::getenv("X91_TEST_SEED"))
        return static_cast<std::uint32_t>(std::strtoul(s, nullptr, 10));
    return fallback;
}

// For SCOPED_TRACE: how to run the failing case again.
inline std::string seed_note(std::uint32_t seed) {
    return "X91_TEST_SEED=" + std::to_string(seed);
}

// A random engine seeded by test_seed(fallback); while it lives, every
// failure names the seed.
class SeededRng : public std::mt19937 {
  public:
    explicit SeededRng(std::uint32_t fallback) : SeededRng(test_seed(fallback), 0) {}

  private:
    SeededRng(std::uint32_t seed, int)
        : std::mt19937(seed), trace_(__FILE__, __LINE__, seed_note(seed)) {}

    testing::ScopedTrace trace_;
};
