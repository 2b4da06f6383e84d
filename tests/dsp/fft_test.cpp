#include "dsp/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "dsp/numeric.h"
#include "dsp_test_support.h"

namespace x91 {

namespace {

using Kernel = void (*)(const float*, float*, int, int);

struct KernelCase {
    int n;
    Kernel kernel;
};

const KernelCase kernels[] = {
    {3, ifft_3_dd},     {4, ifft_4_dd},     {7, ifft_7_dd},
    {9, ifft_9_dd},     {16, ifft_16_dd},   {49, ifft_49_dd},
    {112, ifft_112_dd}, {441, ifft_441_dd}, {1764, ifft_1764_dd},
};

// Largest |x − y| over n complex values, relative to the RMS of y.
double relative_error(const std::vector<float>& x, const std::vector<float>& y) {
    double worst = 0.0, energy = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        worst = std::max(worst, std::fabs(static_cast<double>(x[i]) - y[i]));
        energy += static_cast<double>(y[i]) * y[i];
    }
    return worst / std::sqrt(energy / static_cast<double>(y.size()));
}

// Runs `kernel` with strides a, b on a random input whose skipped slots hold
// a poison value, checks the skipped output slots stay untouched, and
// returns the compacted output.
std::vector<float> run_strided(Kernel kernel, const std::vector<float>& x, int n, int a, int b) {
    const float poison = 12345.0f;
    std::vector<float> in(static_cast<std::size_t>(2 * n * a), poison);
    for (int i = 0; i < n; ++i) {
        in[static_cast<std::size_t>(2 * a * i)] = x[static_cast<std::size_t>(2 * i)];
        in[static_cast<std::size_t>(2 * a * i + 1)] = x[static_cast<std::size_t>(2 * i + 1)];
    }
    const std::vector<float> in_copy = in;
    std::vector<float> out(static_cast<std::size_t>(2 * n * b), poison);
    kernel(in.data(), out.data(), a, b);
    EXPECT_EQ(in, in_copy) << "input changed";
    std::vector<float> compact(static_cast<std::size_t>(2 * n));
    for (int k = 0; k < n * b; ++k)
        for (int c = 0; c < 2; ++c) {
            const float v = out[static_cast<std::size_t>(2 * k + c)];
            if (k % b == 0)
                compact[static_cast<std::size_t>(2 * (k / b) + c)] = v;
            else
                EXPECT_EQ(v, poison) << "output slot " << k << " between strides was written";
        }
    return compact;
}

TEST(FftKernelTest, EveryKernelMatchesReferenceForSeveralStrides) {
    SeededRng rng(dsp_test::kSeed);
    const int strides[][2] = {{1, 1}, {2, 2}, {3, 1}, {1, 3}, {2, 1}};
    for (const KernelCase& kc : kernels) {
        SCOPED_TRACE("N = " + std::to_string(kc.n));
        const auto x = dsp_test::random_floats(rng, static_cast<std::size_t>(2 * kc.n));
        std::vector<float> ref(x.size());
        def_idft_n(x.data(), ref.data(), kc.n);
        for (const auto& s : strides) {
            SCOPED_TRACE("a = " + std::to_string(s[0]) + ", b = " + std::to_string(s[1]));
            const auto got = run_strided(kc.kernel, x, kc.n, s[0], s[1]);
            EXPECT_LT(relative_error(got, ref), 2e-6 * std::sqrt(static_cast<double>(kc.n)) + 1e-6);
        }
    }
}

TEST(FftKernelTest, ForwardTransformsMatchReference) {
    SeededRng rng(dsp_test::kSeed);
    const KernelCase forward[] = {{112, fft_112_dd}, {1764, fft_1764_dd}};
    for (const KernelCase& kc : forward) {
        SCOPED_TRACE("N = " + std::to_string(kc.n));
        const auto x = dsp_test::random_floats(rng, static_cast<std::size_t>(2 * kc.n));
        std::vector<float> ref(x.size());
        def_dft_n(x.data(), ref.data(), kc.n);
        for (int s = 1; s <= 2; ++s) {
            const auto got = run_strided(kc.kernel, x, kc.n, s, s);
            EXPECT_LT(relative_error(got, ref), 2e-6 * std::sqrt(static_cast<double>(kc.n)) + 1e-6);
        }
    }
}

TEST(FftKernelTest, InverseOfForwardReturnsInput) {
    SeededRng rng(dsp_test::kSeed);
    const struct {
        int n;
        Kernel fwd, inv;
    } pairs[] = {{112, fft_112_dd, ifft_112_dd}, {1764, fft_1764_dd, ifft_1764_dd}};
    for (const auto& p : pairs) {
        const auto x = dsp_test::random_floats(rng, static_cast<std::size_t>(2 * p.n));
        std::vector<float> spectrum(x.size()), back(x.size());
        p.fwd(x.data(), spectrum.data(), 1, 1);
        p.inv(spectrum.data(), back.data(), 1, 1);
        for (std::size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(back[i], x[i], 2e-6) << "N " << p.n << " at " << i;
    }
}

TEST(FftKernelTest, ImpulsesGiveRootsOfUnity) {
    for (const KernelCase& kc : kernels) {
        SCOPED_TRACE("N = " + std::to_string(kc.n));
        std::vector<float> in(static_cast<std::size_t>(2 * kc.n), 0.0f), out(in.size());
        in[0] = 1.0f;
        kc.kernel(in.data(), out.data(), 1, 1);
        for (int k = 0; k < kc.n; ++k) {
            ASSERT_EQ(out[static_cast<std::size_t>(2 * k)], 1.0f);
            ASSERT_EQ(out[static_cast<std::size_t>(2 * k + 1)], 0.0f);
        }
        in[0] = 0.0f;
        in[2] = 1.0f;
        kc.kernel(in.data(), out.data(), 1, 1);
        for (int k = 0; k < kc.n; ++k) {
            const double th = -2.0 * dsp_test::pi * k / kc.n;
            ASSERT_NEAR(out[static_cast<std::size_t>(2 * k)], std::cos(th), 2e-6);
            ASSERT_NEAR(out[static_cast<std::size_t>(2 * k + 1)], std::sin(th), 2e-6);
        }
    }
    const KernelCase forward[] = {{112, fft_112_dd}, {1764, fft_1764_dd}};
    for (const KernelCase& kc : forward) {
        std::vector<float> in(static_cast<std::size_t>(2 * kc.n), 0.0f), out(in.size());
        in[0] = 1.0f;
        kc.kernel(in.data(), out.data(), 1, 1);
        const float inv_n = 1.0f / static_cast<float>(kc.n);
        for (int k = 0; k < kc.n; ++k) ASSERT_EQ(out[static_cast<std::size_t>(2 * k)], inv_n);
        in[0] = 0.0f;
        in[2] = 1.0f;
        kc.kernel(in.data(), out.data(), 1, 1);
        for (int k = 0; k < kc.n; ++k) {
            const double th = 2.0 * dsp_test::pi * k / kc.n;
            ASSERT_NEAR(out[static_cast<std::size_t>(2 * k)], std::cos(th) / kc.n, 2e-6 / kc.n);
            ASSERT_NEAR(out[static_cast<std::size_t>(2 * k + 1)], std::sin(th) / kc.n, 2e-6 / kc.n);
        }
    }
}

// The 1764-point transform, composed step by step from the public radix-4 and
// 441-point kernels and the circle table, in the nested order.
void nested_ifft_1764(const float* in, float* out) {
    std::vector<float> buf(2 * 1764), t(8);
    for (int i = 0; i < 441; ++i) {
        ifft_4_dd(in + 2 * i, t.data(), 441, 1);
        for (int j = 0; j < 4; ++j)
            c_equ_c_mul_c(&buf[static_cast<std::size_t>(2 * (j * 441 + i))],
                          &t[static_cast<std::size_t>(2 * j)],
                          circle_i_1764 + 2 * ((i * j) % 1764));
    }
    for (int j = 0; j < 4; ++j)
        ifft_441_dd(&buf[static_cast<std::size_t>(2 * 441 * j)], out + 2 * j, 1, 4);
}

TEST(FftKernelTest, LongKernelIsBitIdenticalToNestedKernels) {
    SeededRng rng(dsp_test::kSeed);
    for (int round = 0; round < 4; ++round) {
        auto x = dsp_test::random_floats(rng, 2 * 1764);
        if (round == 1)
            for (float& v : x) v *= 32768.0f;
        std::vector<float> fast(x.size()), nested(x.size());
        ifft_1764_dd(x.data(), fast.data(), 1, 1);
        nested_ifft_1764(x.data(), nested.data());
        ASSERT_EQ(0, std::memcmp(fast.data(), nested.data(), fast.size() * sizeof(float)));

        // Forward: reversed, scaled input through the same nested kernel.
        std::vector<float> rev(x.size());
        const float scale = 1.0f / 1764.0f;
        for (int i = 0; i < 1764; ++i) {
            const int src = (1764 - i) % 1764;
            rev[static_cast<std::size_t>(2 * i)] = x[static_cast<std::size_t>(2 * src)] * scale;
            rev[static_cast<std::size_t>(2 * i + 1)] =
                x[static_cast<std::size_t>(2 * src + 1)] * scale;
        }
        fft_1764_dd(x.data(), fast.data(), 1, 1);
        nested_ifft_1764(rev.data(), nested.data());
        ASSERT_EQ(0, std::memcmp(fast.data(), nested.data(), fast.size() * sizeof(float)));
    }
}

TEST(TwoRealFftTest, RealSignalGivesEmptyImaginarySpectrum) {
    SeededRng rng(dsp_test::kSeed);
    auto x = dsp_test::random_floats(rng, 2 * 1764);
    for (int i = 0; i < 1764; ++i) x[static_cast<std::size_t>(2 * i + 1)] = 0.0f;
    std::vector<float> a(2 * 883), b(2 * 883), full(2 * 1764);
    stereo_fft_1764(x.data(), a.data(), b.data());
    fft_1764_dd(x.data(), full.data(), 1, 1);
    for (int k = 0; k <= 882; ++k) {
        EXPECT_NEAR(b[static_cast<std::size_t>(2 * k)], 0.0f, 1e-7f);
        EXPECT_NEAR(b[static_cast<std::size_t>(2 * k + 1)], 0.0f, 1e-7f);
        EXPECT_NEAR(a[static_cast<std::size_t>(2 * k)], full[static_cast<std::size_t>(2 * k)],
                    1e-7f);
        EXPECT_NEAR(a[static_cast<std::size_t>(2 * k + 1)],
                    full[static_cast<std::size_t>(2 * k + 1)], 1e-7f);
    }
}

TEST(TwoRealFftTest, StereoPairRoundTrips) {
    SeededRng rng(dsp_test::kSeed);
    const auto x = dsp_test::random_floats(rng, 2 * 1764);
    std::vector<float> a(2 * 883), b(2 * 883), y(2 * 1764);
    stereo_fft_1764(x.data(), a.data(), b.data());
    stereo_ifft_1764(a.data(), b.data(), y.data());
    for (std::size_t i = 0; i < x.size(); ++i) ASSERT_NEAR(y[i], x[i], 2e-6) << i;
}

TEST(TwoRealFftTest, CombineUndoesSeparateForOddAndEvenLengths) {
    SeededRng rng(dsp_test::kSeed);
    for (int n : {1, 2, 7, 8}) {
        const auto z = dsp_test::random_floats(rng, static_cast<std::size_t>(2 * n));
        std::vector<float> a(static_cast<std::size_t>(2 * (n / 2 + 1))), b(a.size()),
            back(z.size());
        dft_separate_n(z.data(), a.data(), b.data(), n);
        dft_combine_n(a.data(), b.data(), back.data(), n);
        for (std::size_t i = 0; i < z.size(); ++i)
            EXPECT_NEAR(back[i], z[i], 1e-6f) << "n " << n << " at " << i;
    }
}

TEST(FftTablesTest, CirclesHoldUnitRootsInBothDirections) {
    EXPECT_EQ(c_zero[0], 0.0f);
    EXPECT_EQ(c_zero[1], 0.0f);
    const struct {
        const float* table;
        int n, s;
    } circles[] = {{circle_i_3, 3, -1},       {circle_i_1764, 1764, -1}, {circle_f_3528, 3528, 1},
                   {circle_i_7056, 7056, -1}, {circle_f_448, 448, 1},    {circle_i_112, 112, -1}};
    for (const auto& c : circles)
        for (int i = 0; i < c.n; i += 7) {
            const double th = c.s * 2.0 * dsp_test::pi * i / c.n;
            ASSERT_NEAR(c.table[2 * i], std::cos(th), 1e-6) << c.n << " " << i;
            ASSERT_NEAR(c.table[2 * i + 1], std::sin(th), 1e-6) << c.n << " " << i;
        }
}

TEST(FftTablesTest, SecondInitKeepsTheTables) {
    const float* before = circle_i_1764;
    da_fft_init();
    EXPECT_EQ(circle_i_1764, before);
    EXPECT_TRUE(da_fft_ready());
}

TEST(FftTablesTest, FinitResetsEveryPointerAndInitRestores) {
    da_fft_finit();
    EXPECT_FALSE(da_fft_ready());
    for (const float* p :
         {c_zero, circle_i_3, circle_i_1764, circle_i_7056, window_1764, circle_i_448, window_112})
        EXPECT_EQ(p, nullptr);
    da_fft_init();
    EXPECT_TRUE(da_fft_ready());
    EXPECT_NE(window_112, nullptr);
}

TEST(FftTablesDeathTest, TransformsRefuseToRunWithoutTables) {
    std::vector<float> in(2 * 1764, 0.0f), out(in.size());
    EXPECT_DEATH(
        {
            da_fft_finit();
            ifft_1764_dd(in.data(), out.data(), 1, 1);
        },
        "ifft_1764_dd called while the transform tables are not built");
    EXPECT_DEATH(
        {
            da_fft_finit();
            fft_112_dd(in.data(), out.data(), 1, 1);
        },
        "fft_112_dd called while");
    EXPECT_DEATH(
        {
            da_fft_finit();
            ifft_3_dd(in.data(), out.data(), 1, 1);
        },
        "ifft_3_dd called while");
}

}  // namespace

}  // namespace x91
