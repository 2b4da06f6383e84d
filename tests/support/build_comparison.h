// Runs the portable and the AVX2 build of a loop on the same inputs, made
// from one seed with the edge values vector code most easily gets wrong, and
// requires the same bytes from both.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "framework/cpu_dispatch.h"
#include "support/test_seed.h"

namespace x91::build_comparison {

using Bytes = std::vector<unsigned char>;

// Which edge values stand in for about one input in eight: none; finite ones
// (zeros of both signs, denormals, the smallest normal, the largest float);
// or those and infinities and NaN.
enum class Edges { none, finite, all };

class Inputs {
  public:
    Inputs(std::uint32_t seed, Edges edges) : rng_(seed), edges_(edges) {}

    std::mt19937& rng() { return rng_; }
    int count(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    std::vector<int> ints(int n, int lo, int hi) {
        std::vector<int> v(n);
        for (int& x : v) x = count(lo, hi);
        return v;
    }

    // Uniform in [lo, hi], with edge values mixed in.
    std::vector<float> floats(int n, float lo, float hi) {
        using limits = std::numeric_limits<float>;
        static constexpr float kEdges[] = {0.0f,
                                           -0.0f,
                                           limits::denorm_min(),
                                           -1e-40f,
                                           limits::min(),
                                           limits::max(),
                                           -3e38f,
                                           limits::infinity(),
                                           -limits::infinity(),
                                           limits::quiet_NaN()};
        const int choices = edges_ == Edges::all ? 10 : 7;
        std::vector<float> v(n);
        for (float& x : v) {
            x = std::uniform_real_distribution<float>(lo, hi)(rng_);
            if (edges_ != Edges::none && count(0, 7) == 0) x = kEdges[count(0, choices - 1)];
        }
        return v;
    }

  private:
    std::mt19937 rng_;
    Edges edges_;
};

// The bytes of n values, of a vector, or of one value, appended or as one
// sequence. Every NaN is written as the same NaN: its sign and payload are
// not part of its value, and the compiler may swap the operands of a sum or
// a product, which with two NaN operands decides which one comes out. No
// NaN's sign reaches the codec's output.
template <class T>
void add(Bytes& out, const T* values, std::size_t n) {
    const std::size_t start = out.size();
    out.resize(start + n * sizeof(T));
    for (std::size_t i = 0; i < n; ++i) {
        T value = values[i];
        if constexpr (std::is_floating_point_v<T>)
            if (value != value) value = std::numeric_limits<T>::quiet_NaN();
        std::memcpy(out.data() + start + i * sizeof(T), &value, sizeof(T));
    }
}
template <class T>
void add(Bytes& out, const std::vector<T>& v) {
    add(out, v.data(), v.size());
}
template <class T>
void add(Bytes& out, T value) {
    add(out, &value, 1);
}
template <class... T>
Bytes bytes_of(const T&... values) {
    Bytes out;
    (add(out, values), ...);
    return out;
}

// One loop: makes its inputs, runs the build of the given level on them and
// returns what it wrote.
struct Case {
    const char* name;
    std::function<Bytes(CpuLevel, Inputs&)> run;
};

inline void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

inline std::string case_name(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// Rounds of fresh inputs, cycling through the three edge mixes.
inline void expect_builds_agree(const Case& c, std::uint32_t seed, int rounds = 12) {
    SeededRng seeds(seed);
    for (int round = 0; round < rounds; ++round) {
        const std::uint32_t s = static_cast<std::uint32_t>(seeds());
        const Edges edges = static_cast<Edges>(round % 3);
        Inputs a(s, edges), b(s, edges);
        const Bytes portable = c.run(CpuLevel::portable, a);
        const Bytes avx2 = c.run(CpuLevel::avx2, b);
        ASSERT_EQ(portable.size(), avx2.size()) << c.name << ", round " << round;
        for (std::size_t i = 0; i < portable.size(); ++i)
            ASSERT_EQ(portable[i], avx2[i])
                << c.name << ", round " << round << ": first difference at byte " << i << " of "
                << portable.size();
    }
}

// A table of cases; the AVX2 builds only run where the processor has AVX2.
class BuildsTest : public testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        if (cpu_level_available() != CpuLevel::avx2)
            GTEST_SKIP() << "the processor has no AVX2: only the portable build runs";
    }
};

}  // namespace x91::build_comparison
