// The random engine of the randomised tests. Each test gives its own fixed
// seed; X91_TEST_SEED replaces it so that a failure can be replayed, and
// while the engine lives every failure names the seed in use.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

class SeededRng : public std::mt19937 {
  public:
    explicit SeededRng(std::uint32_t fallback) : SeededRng(from_environment(fallback), 0) {}

  private:
    static std::uint32_t from_environment(std::uint32_t fallback) {
        if (const char* s = std::getenv("X91_TEST_SEED"))
            return static_cast<std::uint32_t>(std::strtoul(s, nullptr, 10));
        return fallback;
    }

    SeededRng(std::uint32_t chosen, int)
        : std::mt19937(chosen),
          trace_(__FILE__, __LINE__, "X91_TEST_SEED=" + std::to_string(chosen)) {}

    testing::ScopedTrace trace_;
};
