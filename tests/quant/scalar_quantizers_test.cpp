#include "quant/scalar_quantizers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

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

TEST(RangeToZnTest, Levels) {
    EXPECT_EQ(_range_to_zn(-1.0f, -1.0f, 1.0f, 32), 0);
    EXPECT_EQ(_range_to_zn(1.0f, -1.0f, 1.0f, 32), 31);
    EXPECT_EQ(_range_to_zn(0.0f, -1.0f, 1.0f, 32), 16);  // 15.5 rounds up
    EXPECT_EQ(_range_to_zn(3.0f, -1.0f, 1.0f, 32), 62);  // not clamped
    EXPECT_EQ(_zn_to_range(0, 0.0f, 1.0f, 32), 0.0f);
    EXPECT_EQ(_zn_to_range(31, 0.0f, 1.0f, 32), 1.0f);
    EXPECT_FLOAT_EQ(_zn_to_range(16, 0.0f, 1.0f, 32), 16.0f / 31.0f);
}

}  // namespace

}  // namespace x91
