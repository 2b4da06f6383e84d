// Seeds for the randomised tests: fixed by default, X91_TEST_SEED overrides.
#pragma once

#include <cstdint>
#include <cstdlib>

inline std::uint32_t test_seed(std::uint32_t fallback) {
    if (const char* s = std::getenv("X91_TEST_SEED"))
        return static_cast<std::uint32_t>(std::strtoul(s, nullptr, 10));
    return fallback;
}
