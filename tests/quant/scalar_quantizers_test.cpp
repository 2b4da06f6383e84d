#include "quant/scalar_quantizers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "quant/quantizer_toolbox.h"
#include "support/test_seed.h"

namespace x91 {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(RnPowTest, SquareAndMultiply) {
    EXPECT_EQ(rn_pow(1.5f, 0), 1.0f);
    EXPECT_EQ(rn_pow(1.5f, -3), 1.0f);
    EXPECT_EQ(rn_pow(2.0f, 10), 1024.0f);
    EXPECT_EQ(rn_pow(-3.0f, 3), -27.0f);
    EXPECT_EQ(rn_pow(1.1f, 2), 1.1f * 1.1f);
}

TEST(LogDequantTest, Levels) {
    EXPECT_EQ(log_dequant(0, 1.1f), 0.0f);
    EXPECT_EQ(log_dequant(1, 1.1f), 1.0f);
    EXPECT_FLOAT_EQ(log_dequant(2, 1.1f), 2.1f);
    EXPECT_FLOAT_EQ(log_dequant(-2, 1.1f), -2.1f);
    EXPECT_FLOAT_EQ(log_dequant(3, 1.1f), 3.31f);
    EXPECT_FLOAT_EQ(log_dequant(4, 1.1f), 4.641f);
    EXPECT_FLOAT_EQ(log_dequant(5, 1.1f), 6.1051f);
    for (int k = 1; k < 200; ++k) EXPECT_EQ(log_dequant(-k, 1.1f), -log_dequant(k, 1.1f));
}

TEST(LogDequantTest, ExtremeIndicesSaturateToInfinity) {
    EXPECT_EQ(log_dequant(1 << 30, 1.1f), kInf);
    EXPECT_EQ(log_dequant(-(1 << 30), 1.1f), -kInf);
    EXPECT_EQ(log_dequant(INT_MIN, 1.1f), -kInf);
    EXPECT_EQ(log_dequant(INT_MAX, 1.0000001f), kInf);
}

TEST(LogQuantTest, WorkedExamples) {
    EXPECT_EQ(log_quant(0.0f, 1.1f, 0.5f), 0);
    EXPECT_EQ(log_quant(0.49f, 1.1f, 0.5f), 0);
    EXPECT_EQ(log_quant(0.5f, 1.1f, 0.5f), 1);
    EXPECT_EQ(log_quant(1.54f, 1.1f, 0.5f), 1);
    EXPECT_EQ(log_quant(1.56f, 1.1f, 0.5f), 2);
    EXPECT_EQ(log_quant(10.0f, 1.1f, 0.5f), 7);
    EXPECT_EQ(log_quant(100.0f, 1.1f, 0.5f), 25);
    EXPECT_EQ(log_quant(-1.0f, 1.1f, 0.5f), -1);
    EXPECT_EQ(log_quant(-100.0f, 1.1f, 0.5f), -25);
}

TEST(LogQuantTest, RoundingPointEdges) {
    for (float r : {0.1f, 0.3f, 0.5f, 0.9f}) EXPECT_EQ(log_quant(r, 1.1f, r), 1) << r;
    EXPECT_EQ(log_quant(1.0f, 1.1f, 1.0f), 0);  // u = 1 is not above r = 1
}

TEST(LogQuantTest, SymmetricAndSignedZero) {
    for (float x : {0.3f, 0.7f, 2.0f, 55.5f, 1e6f})
        EXPECT_EQ(log_quant(-x, 1.21f, 0.5f), -log_quant(x, 1.21f, 0.5f));
    EXPECT_EQ(log_quant(-0.0f, 1.1f, 0.5f), 0);
}

TEST(LogQuantTest, NonFiniteInputsAreDefined) {
    EXPECT_EQ(log_quant(kNaN, 1.1f, 0.5f), 0);
    EXPECT_EQ(log_quant(kInf, 1.1f, 0.5f), INT_MAX);
    EXPECT_EQ(log_quant(-kInf, 1.1f, 0.5f), -INT_MAX);
    EXPECT_GT(log_quant(3e38f, 1.1f, 0.5f), 900);
}

TEST(LogQuantTest, EveryLevelQuantisesToItsIndex) {
    for (float b : {1.1f, 1.21f, 1.0488088f, 2.59f}) {
        for (int k = -300; k <= 300; ++k) {
            const float level = log_dequant(k, b);
            if (!std::isfinite(level)) continue;
            EXPECT_EQ(log_quant(level, b, 0.5f), k) << b << " " << k;
        }
    }
}

TEST(LinQuantTest, EnergyRounding) {
    EXPECT_EQ(lin_quant_value(5.0f, 2.0f), 2);  // 2.5: energy 6 is nearer 4
    EXPECT_EQ(lin_quant_value(5.5f, 2.0f), 3);  // 2.75
    EXPECT_EQ(lin_quant_value(-5.0f, 2.0f), -2);
    EXPECT_EQ(lin_dequant_value(-3, 0.5f), -1.5f);
}

TEST(RangeToZnTest, Cells) {
    EXPECT_EQ(range_to_zn(0.0f, 0.0f, 1.0f, 4), 0);
    EXPECT_EQ(range_to_zn(0.26f, 0.0f, 1.0f, 4), 1);
    EXPECT_EQ(range_to_zn(1.0f, 0.0f, 1.0f, 4), 4);  // one past the last cell
    EXPECT_EQ(range_to_zn(-0.1f, 0.0f, 1.0f, 4), -1);
    EXPECT_EQ(zn_to_range(0, 0.0f, 1.0f, 4), 0.125f);
    EXPECT_EQ(zn_to_range(3, 0.0f, 1.0f, 4), 0.875f);
}

TEST(RangeToZnTest, Levels) {
    EXPECT_EQ(_range_to_zn(-1.0f, -1.0f, 1.0f, 32), 0);
    EXPECT_EQ(_range_to_zn(1.0f, -1.0f, 1.0f, 32), 31);
    EXPECT_EQ(_range_to_zn(0.0f, -1.0f, 1.0f, 32), 16);  // 15.5 rounds up
    EXPECT_EQ(_range_to_zn(3.0f, -1.0f, 1.0f, 32), 62);  // not clamped
    EXPECT_EQ(_zn_to_range(0, 0.0f, 1.0f, 32), 0.0f);
    EXPECT_EQ(_zn_to_range(31, 0.0f, 1.0f, 32), 1.0f);
    EXPECT_FLOAT_EQ(_zn_to_range(16, 0.0f, 1.0f, 32), 16.0f / 31.0f);
}

TEST(KthLargestTest, SmallSets) {
    const std::vector<float> a = {5, 1, 3};
    EXPECT_EQ(kth_largest(a.data(), 3, 0), 5.0f);
    EXPECT_EQ(kth_largest(a.data(), 3, 1), 3.0f);
    EXPECT_EQ(kth_largest(a.data(), 3, 2), 1.0f);
    const std::vector<float> same = {2, 2, 2};
    EXPECT_EQ(kth_largest(same.data(), 3, 1), 2.0f);
    const std::vector<float> one = {7};
    EXPECT_EQ(kth_largest(one.data(), 1, 0), 7.0f);
}

TEST(KthLargestTest, MatchesSortOnRandomSets) {
    SeededRng rng(555);
    std::uniform_int_distribution<int> size(1, 60);
    std::uniform_int_distribution<int> small(-5, 5);
    std::normal_distribution<float> g(0.0f, 100.0f);
    for (int trial = 0; trial < 500; ++trial) {
        const int n = size(rng);
        std::vector<float> a(n);
        for (float& x : a) x = trial % 2 ? static_cast<float>(small(rng)) : g(rng);
        const std::vector<float> original = a;
        std::vector<float> sorted = a;
        std::sort(sorted.begin(), sorted.end(), std::greater<float>());
        for (int k = 0; k < n; ++k)
            ASSERT_EQ(kth_largest(a.data(), n, k), sorted[k]) << trial << " " << k;
        ASSERT_EQ(a, original);
    }
}

TEST(KthLargestTest, EndsWhenTheMeanLeavesTheValues) {
    // The float sum overflows, so the mean lies above every value and a
    // partition would not shrink the set.
    const std::vector<float> big = {3e38f, 2e38f, 3e38f, 1e38f};
    EXPECT_EQ(kth_largest(big.data(), 4, 0), 3e38f);
    EXPECT_EQ(kth_largest(big.data(), 4, 2), 2e38f);
    EXPECT_EQ(kth_largest(big.data(), 4, 3), 1e38f);
    const std::vector<float> with_nan = {1.0f, kNaN, 2.0f};
    EXPECT_TRUE(std::isnan(kth_largest(with_nan.data(), 3, 1)));
    EXPECT_EQ(kth_largest(big.data(), 0, 0), 0.0f);
    EXPECT_EQ(kth_largest(big.data(), 4, 99), 1e38f);  // k clamped
}

}  // namespace

}  // namespace x91
