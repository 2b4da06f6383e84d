#include "dsp/block_transforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/fft.h"
#include "dsp/numeric.h"
#include "dsp_test_support.h"

namespace {

// Orthonormal DST-IV in double.
std::vector<double> dst4(const std::vector<float>& x) {
    std::vector<double> out(56);
    for (int k = 0; k < 56; ++k) {
        double s = 0.0;
        for (int i = 0; i < 56; ++i)
            s += x[static_cast<std::size_t>(i)] *
                 std::sin(dsp_test::pi / 56.0 * (i + 0.5) * (k + 0.5));
        out[static_cast<std::size_t>(k)] = std::sqrt(2.0 / 56.0) * s;
    }
    return out;
}

double energy(const std::vector<float>& v) {
    double e = 0.0;
    for (float x : v) e += static_cast<double>(x) * x;
    return e;
}

TEST(Hvst56Test, MatchesDstFormulaForBothVectors) {
    const auto seed = dsp_test::test_seed();
    SCOPED_TRACE(dsp_test::seed_text(seed));
    std::mt19937 rng(seed);
    const auto a = dsp_test::random_floats(rng, 56);
    const auto b = dsp_test::random_floats(rng, 56);
    std::vector<float> ta(56), tb(56);
    hvst56(a.data(), b.data(), ta.data(), tb.data());
    const auto ra = dst4(a), rb = dst4(b);
    for (int k = 0; k < 56; ++k) {
        EXPECT_NEAR(ta[static_cast<std::size_t>(k)], ra[static_cast<std::size_t>(k)], 3e-6) << k;
        EXPECT_NEAR(tb[static_cast<std::size_t>(k)], rb[static_cast<std::size_t>(k)], 3e-6) << k;
    }
    EXPECT_NEAR(energy(ta), energy(a), 1e-5 * energy(a));
    EXPECT_NEAR(energy(tb), energy(b), 1e-5 * energy(b));
}

TEST(Hvst56Test, UnitVectorsGiveSineRowsAndComeBack) {
    for (int i : {0, 1, 27, 28, 55}) {
        std::vector<float> e(56, 0.0f), zero(56, 0.0f), t(56), tz(56), back(56), backz(56);
        e[static_cast<std::size_t>(i)] = 1.0f;
        hvst56(e.data(), zero.data(), t.data(), tz.data());
        for (int k = 0; k < 56; ++k) {
            const double row =
                std::sqrt(2.0 / 56.0) * std::sin(dsp_test::pi / 56.0 * (i + 0.5) * (k + 0.5));
            ASSERT_NEAR(t[static_cast<std::size_t>(k)], row, 2e-6) << i << " " << k;
            ASSERT_NEAR(tz[static_cast<std::size_t>(k)], 0.0f, 1e-7f);
        }
        ihvst56(t.data(), tz.data(), back.data(), backz.data());
        for (int k = 0; k < 56; ++k) {
            ASSERT_NEAR(back[static_cast<std::size_t>(k)], e[static_cast<std::size_t>(k)], 2e-6)
                << i << " " << k;
            ASSERT_NEAR(backz[static_cast<std::size_t>(k)], 0.0f, 2e-6f);
        }
    }
}

TEST(Hvst56Test, InverseUndoesForward) {
    const auto seed = dsp_test::test_seed();
    SCOPED_TRACE(dsp_test::seed_text(seed));
    std::mt19937 rng(seed);
    auto a = dsp_test::random_floats(rng, 56);
    auto b = dsp_test::random_floats(rng, 56);
    std::vector<float> ta(56), tb(56), a2(56), b2(56);
    hvst56(a.data(), b.data(), ta.data(), tb.data());
    ihvst56(ta.data(), tb.data(), a2.data(), b2.data());
    for (std::size_t i = 0; i < 56; ++i) {
        EXPECT_NEAR(a2[i], a[i], 3e-6f) << i;
        EXPECT_NEAR(b2[i], b[i], 3e-6f) << i;
    }
}

TEST(Overlap56Test, RotationIsOrthogonalAndInvertibleInPlace) {
    const auto seed = dsp_test::test_seed();
    SCOPED_TRACE(dsp_test::seed_text(seed));
    std::mt19937 rng(seed);
    const auto x = dsp_test::random_floats(rng, 56);
    std::vector<float> y(56), z(56);
    overlap56(x.data(), y.data());
    EXPECT_NEAR(energy(y), energy(x), 1e-5 * energy(x));
    ioverlap56(y.data(), z.data());
    for (std::size_t i = 0; i < 56; ++i) EXPECT_NEAR(z[i], x[i], 1e-6f) << i;

    std::vector<float> inplace = x;
    overlap56(inplace.data(), inplace.data());
    EXPECT_EQ(inplace, y);
    ioverlap56(inplace.data(), inplace.data());
    EXPECT_EQ(inplace, z);
}

TEST(Overlap56Test, UsesShortWindowWeights) {
    std::vector<float> x(56, 0.0f), y(56);
    x[0] = 1.0f;  // c = 1, d = 0: dst[0] = p, dst[55] = −s
    overlap56(x.data(), y.data());
    EXPECT_EQ(y[0], window_112[56]);
    EXPECT_EQ(y[55], -window_112[0]);
}

TEST(BlockTransformsDeathTest, RefuseToRunWithoutTables) {
    std::vector<float> a(56, 0.0f), b(56), c(56), d(56);
    EXPECT_DEATH(
        {
            da_fft_finit();
            hvst56(a.data(), b.data(), c.data(), d.data());
        },
        "hvst56 called while");
    EXPECT_DEATH(
        {
            da_fft_finit();
            ioverlap56(a.data(), b.data());
        },
        "ioverlap56 called while");
}

}  // namespace
