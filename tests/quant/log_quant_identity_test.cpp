// da_LogQuantizer must give exactly log_quant's index for every float: the
// encoder's choice of level must not depend on which form computed it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "quant/scalar_quantizers.h"

namespace x91 {

namespace {

float from_bits(std::uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

class LogQuantIdentityTest : public ::testing::TestWithParam<float> {
  protected:
    // Checks x and its `radius` float neighbours on each side, both signs.
    void check_around(const da_LogQuantizer& fast, float x, float r, int radius) {
        float lo = x, hi = x;
        for (int i = 0; i <= radius; ++i) {
            for (float v : {lo, hi, -lo, -hi}) {
                ASSERT_EQ(fast(v), log_quant(v, GetParam(), r)) << "x=" << v << " r=" << r;
            }
            lo = std::nextafter(lo, 0.0f);
            hi = std::nextafter(hi, std::numeric_limits<float>::infinity());
        }
        ++checked_;
    }
    int checked_ = 0;
};

TEST_P(LogQuantIdentityTest, LevelBoundariesAndTheirNeighbours) {
    const float b = GetParam();
    for (float r : {0.5f, 0.25f, 0.8f}) {
        const da_LogQuantizer fast(b, r);
        const double bd = b;
        // Thresholds D(k) + r·b^k and the levels D(k) themselves, until
        // they leave float range.
        for (int k = 0;; ++k) {
            const double power = std::pow(bd, k);
            const double level = (power - 1.0) / (bd - 1.0);
            const double threshold = level + r * power;
            if (threshold > 3e38) break;
            check_around(fast, static_cast<float>(threshold), r, 48);
            check_around(fast, static_cast<float>(level), r, 4);
            check_around(fast, log_dequant(k, b), r, 4);
        }
    }
    EXPECT_GT(checked_, 100);
}

TEST_P(LogQuantIdentityTest, DenseAroundTheFirstThreshold) {
    const float b = GetParam();
    // Every float within 2^16 ulps of the first threshold, where most
    // coefficients decide between levels 0 and 1, and around the end of the
    // range the quantiser settles in advance for large bases.
    for (float r : {0.5f, 0.25f}) {
        const da_LogQuantizer fast(b, r);
        check_around(fast, r, r, 1 << 16);
        const float scan_end = static_cast<float>(std::ldexp(1.0, -3) / (b - 1.0));
        check_around(fast, scan_end, r, 1 << 12);
    }
}

TEST_P(LogQuantIdentityTest, StridedSweepOfAllFloats) {
    const float b = GetParam();
    const da_LogQuantizer fast(b, 0.5f);
    for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFull; bits += 4099) {
        const float x = from_bits(static_cast<std::uint32_t>(bits));
        ASSERT_EQ(fast(x), log_quant(x, b, 0.5f)) << "bits=" << bits;
    }
    for (float x :
         {0.0f, -0.0f, std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(),
          std::numeric_limits<float>::max(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(fast(x), log_quant(x, b, 0.5f)) << x;
}

// The array form decides level 0 eight values at a time. Every float within
// 2^17 ulps of r (where level 1 begins) and of (b^r - 1)/(b - 1) (where the
// shortcut to level 0 ends), both signs, a strided sweep of all floats and
// the special values, in an array whose length is no multiple of eight, must
// give the single-value indices.
TEST_P(LogQuantIdentityTest, ArrayFormGivesTheSingleValueIndices) {
    const float b = GetParam();
    const float r = 0.5f;
    const da_LogQuantizer fast(b, r);
    const float shortcut_end =
        static_cast<float>((std::pow(double{b}, double{r}) - 1.0) / (b - 1.0));
    std::vector<float> x;
    for (float centre : {r, shortcut_end}) {
        float lo = centre, hi = centre;
        for (int i = 0; i < 1 << 17; ++i) {
            x.insert(x.end(), {lo, hi, -lo, -hi});
            lo = std::nextafter(lo, 0.0f);
            hi = std::nextafter(hi, std::numeric_limits<float>::infinity());
        }
    }
    for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFull; bits += 4099)
        x.push_back(from_bits(static_cast<std::uint32_t>(bits)));
    x.insert(x.end(),
             {0.0f, -0.0f, std::numeric_limits<float>::denorm_min(),
              std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
              std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN()});
    if (x.size() % 8 == 0) x.push_back(r);
    std::vector<int> index(x.size());
    fast.indices(x.data(), index.data(), static_cast<int>(x.size()));
    for (std::size_t i = 0; i < x.size(); ++i) ASSERT_EQ(index[i], fast(x[i])) << "x=" << x[i];
}

// Settings far from the usual ones, where the quantiser's table of certain
// indices has other windows or none, still give log_quant's index.
TEST(LogQuantUnusualSettingsTest, StridedSweepsGiveTheReferenceIndices) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float b, r;
    } settings[] = {{1.1f, 0.0f},   {1.1f, 0.999f}, {1.1f, 1.5f},    {1.1f, -0.5f},
                    {1.001f, 0.5f}, {1.0f, 0.5f},   {1000.0f, 0.5f}, {1.1f, nan}};
    for (const auto& s : settings) {
        const da_LogQuantizer fast(s.b, s.r);
        for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFull; bits += 65521) {
            const float x = from_bits(static_cast<std::uint32_t>(bits));
            ASSERT_EQ(fast(x), log_quant(x, s.b, s.r)) << "b=" << s.b << " r=" << s.r << " x=" << x;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Bases, LogQuantIdentityTest,
                         ::testing::Values(1.1f, 1.21f, 1.0488088f, 2.59f));

}  // namespace

}  // namespace x91
