// Seeds for the randomised tests: each test has a fixed default, and
// X91_TEST_SEED replaces it so that a failure can be replayed.
#pragma once

#include <cstdint>
#include <cstdlib>
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
