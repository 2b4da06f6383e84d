#include "dsp/block_transforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/fft.h"
#include "dsp/numeric.h"
#include "dsp_test_support.h"

namespace x91 {

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
    SeededRng rng(dsp_test::kSeed);
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
    SeededRng rng(dsp_test::kSeed);
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

// Blocks over a wide range of magnitudes, subnormals and zeros included, so
// that a lane rounding differently from the one-pair code would show.
std::vector<float> varied_block(std::mt19937& rng) {
    std::vector<float> x = dsp_test::random_floats(rng, 56);
    const int kind = static_cast<int>(rng() % 4);
    const float scale = kind == 0 ? 1e-40f : kind == 1 ? 1e30f : std::ldexp(1.0f, rng() % 40 - 20);
    for (float& v : x) v = rng() % 7 == 0 ? 0.0f : v * scale;
    return x;
}

std::vector<std::uint32_t> bits_of(const std::vector<float>& v) {
    std::vector<std::uint32_t> out(v.size());
    std::memcpy(out.data(), v.data(), v.size() * sizeof(float));
    return out;
}

TEST(Hvst56Test, BatchesGiveTheOnePairResultsBitForBit) {
    SeededRng rng(dsp_test::kSeed);
    for (int count : {0, 1, 7, 8, 9, 14, 17}) {
        SCOPED_TRACE("count " + std::to_string(count));
        std::vector<std::vector<float>> a, b, ta(count, std::vector<float>(56)),
            tb(count, std::vector<float>(56)), ia(ta), ib(ta);
        std::vector<const float*> pa, pb, pta, ptb;
        std::vector<float*> qta, qtb, qia, qib;
        for (int e = 0; e < count; ++e) {
            a.push_back(varied_block(rng));
            b.push_back(varied_block(rng));
        }
        for (int e = 0; e < count; ++e) {
            pa.push_back(a[e].data());
            pb.push_back(b[e].data());
            qta.push_back(ta[e].data());
            qtb.push_back(tb[e].data());
            pta.push_back(ta[e].data());
            ptb.push_back(tb[e].data());
            qia.push_back(ia[e].data());
            qib.push_back(ib[e].data());
        }
        hvst56_many(count, pa.data(), pb.data(), qta.data(), qtb.data());
        ihvst56_many(count, pta.data(), ptb.data(), qia.data(), qib.data());
        for (int e = 0; e < count; ++e) {
            std::vector<float> one_a(56), one_b(56), back_a(56), back_b(56);
            hvst56(a[e].data(), b[e].data(), one_a.data(), one_b.data());
            ASSERT_EQ(bits_of(ta[e]), bits_of(one_a)) << "pair " << e;
            ASSERT_EQ(bits_of(tb[e]), bits_of(one_b)) << "pair " << e;
            ihvst56(one_a.data(), one_b.data(), back_a.data(), back_b.data());
            ASSERT_EQ(bits_of(ia[e]), bits_of(back_a)) << "pair " << e;
            ASSERT_EQ(bits_of(ib[e]), bits_of(back_b)) << "pair " << e;
        }
    }
}

TEST(Overlap56Test, RotationIsOrthogonalAndInvertibleInPlace) {
    SeededRng rng(dsp_test::kSeed);
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

}  // namespace x91
