#include "dsp/mdcst.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "dsp/fft.h"
#include "dsp/mdcst_combine.h"
#include "dsp/numeric.h"
#include "dsp/window_shapes.h"
#include "dsp/windows.h"
#include "dsp_test_support.h"

namespace x91 {

namespace {

using Forward = void (*)(const float*, float*, float*);
using Inverse = void (*)(const float*, const float*, float*);

struct Size {
    int m;
    Forward fwd;
    Inverse inv;
    const float* window() const { return m == 1764 ? window_1764 : window_112; }
};

const Size sizes[] = {{1764, stereo_mdcst_1764, stereo_imdcst_1764},
                      {112, stereo_mdcst_112, stereo_imdcst_112}};

TEST(WindowTest, LongWindowFigures) {
    const float* w = window_1764;
    EXPECT_NEAR(w[0], 1.514e-6, 0.005e-6);
    EXPECT_EQ(w[881], w[882]);
    EXPECT_EQ(w[881], 1.0f);
    for (int n = 0; n < 882; ++n) {
        ASSERT_NEAR(r_sqr(w[n]) + r_sqr(w[n + 882]), 1.0f, 3e-7f) << n;
        ASSERT_EQ(w[n], w[1763 - n]) << n;
    }
}

using WindowShape = float* (*)(int);
const WindowShape kShapes[] = {sine_window_n, cosinsine_window_n, vorbis_window_n,
                               cos3insine_window_n, spline3insine_window_n};

void expect_symmetric_and_power_complementary(const float* w, int n) {
    for (int i = 0; i < n / 2; ++i) {
        ASSERT_NEAR(r_sqr(w[i]) + r_sqr(w[i + n / 2]), 1.0f, 1e-6f) << n << " " << i;
        ASSERT_NEAR(w[i], w[n - 1 - i], 1e-6f) << n << " " << i;
    }
}

TEST(WindowTest, EveryShapeIsSymmetricAndPowerComplementary) {
    for (WindowShape shape : kShapes)
        for (int n : {112, 1764}) {
            const std::unique_ptr<float[]> w(shape(n));
            expect_symmetric_and_power_complementary(w.get(), n);
        }
}

// Symmetry and power complementarity hold for every shape alike, so they
// cannot tell the shapes apart: each is held to its own formula as well.
TEST(WindowTest, EveryShapeFollowsItsFormula) {
    using Formula = double (*)(double angle);  // of (2i + 1)·π / n
    const std::pair<WindowShape, Formula> shapes[] = {
        {sine_window_n, [](double a) { return std::sin(a / 2); }},
        {cosinsine_window_n,
         [](double a) { return std::sin(dsp_test::pi / 4 * (1 - std::cos(a))); }},
        {vorbis_window_n,
         [](double a) { return std::sin(dsp_test::pi / 2 * std::pow(std::sin(a / 2), 2)); }},
        {cos3insine_window_n,
         [](double a) { return std::sin(dsp_test::pi / 4 * (1 - std::pow(std::cos(a), 3))); }}};
    const int n = 112;
    for (const auto& [shape, formula] : shapes) {
        const std::unique_ptr<float[]> w(shape(n));
        for (int i = 0; i < n; ++i)
            ASSERT_NEAR(w[i], formula((2 * i + 1) * dsp_test::pi / n), 1e-6) << i;
    }
}

// The outer quarters become √2·w² exactly; the inner ones are rebuilt from
// them so that the window stays symmetric and power complementary.
TEST(WindowTest, PoweringSquaresTheOuterQuartersAndStaysPowerComplementary) {
    for (int n : {112, 1764}) {
        const std::unique_ptr<float[]> before(sine_window_n(n));
        const std::unique_ptr<float[]> w(sine_window_n(n));
        powering_window_n(w.get(), n);
        for (int i = 0; i < n / 4; ++i) {
            ASSERT_EQ(w[i], r_sqrt_two * r_sqr(before[i])) << n << " " << i;
            ASSERT_EQ(w[n - 1 - i], r_sqrt_two * r_sqr(before[n - 1 - i])) << n << " " << i;
        }
        expect_symmetric_and_power_complementary(w.get(), n);
    }
}

TEST(WindowTest, OddLengthSplineWindowIsFullyDefined) {
    const std::unique_ptr<float[]> w(spline3insine_window_n(5));
    // t = 1/5, 3/5, 5/5, 3/5, 1/5: the middle entry is sin(π/2) = 1.
    EXPECT_FLOAT_EQ(w[2], 1.0f);
    EXPECT_FLOAT_EQ(w[1], w[3]);
}

// X_c[k] = ((−1)^(k+1)/M)·Σ x_c[n]·w[n]·e^(jθ(k,n)) in double.
std::vector<double> closed_form(const std::vector<float>& x, int channel, const float* w, int m) {
    const int n_lines = m / 2;
    std::vector<double> out(static_cast<std::size_t>(2 * n_lines));
    for (int k = 0; k < n_lines; ++k) {
        double re = 0.0, im = 0.0;
        for (int n = 0; n < m; ++n) {
            const double th = dsp_test::pi / n_lines * (n + 0.5 + n_lines / 2.0) * (k + 0.5);
            const double v =
                static_cast<double>(x[static_cast<std::size_t>(2 * n + channel)]) * w[n];
            re += v * std::cos(th);
            im += v * std::sin(th);
        }
        const double sign = (k % 2 == 0) ? -1.0 : 1.0;
        out[static_cast<std::size_t>(2 * k)] = sign * re / m;
        out[static_cast<std::size_t>(2 * k + 1)] = sign * im / m;
    }
    return out;
}

TEST(MdcstTest, ForwardMatchesClosedForm) {
    SeededRng rng(dsp_test::kSeed);
    for (const Size& s : sizes) {
        SCOPED_TRACE("M = " + std::to_string(s.m));
        const auto x = dsp_test::random_floats(rng, static_cast<std::size_t>(2 * s.m));
        std::vector<float> a(static_cast<std::size_t>(s.m)), b(a.size());
        s.fwd(x.data(), a.data(), b.data());
        const auto ra = closed_form(x, 0, s.window(), s.m);
        const auto rb = closed_form(x, 1, s.window(), s.m);
        // Lines are of order 1/√M; allow single-precision rounding of the FFT.
        const double tol = 2e-6 / std::sqrt(static_cast<double>(s.m));
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_NEAR(a[i], ra[i], tol) << i;
            ASSERT_NEAR(b[i], rb[i], tol) << i;
        }
    }
}

TEST(MdcstTest, RealFrameGivesEmptySecondSpectrumAndSwapSwaps) {
    SeededRng rng(dsp_test::kSeed);
    for (const Size& s : sizes) {
        auto x = dsp_test::random_floats(rng, static_cast<std::size_t>(2 * s.m));
        std::vector<float> a(static_cast<std::size_t>(s.m)), b(a.size()), a2(a.size()),
            b2(a.size());
        std::vector<float> swapped(x.size());
        for (int n = 0; n < s.m; ++n) {
            swapped[static_cast<std::size_t>(2 * n)] = x[static_cast<std::size_t>(2 * n + 1)];
            swapped[static_cast<std::size_t>(2 * n + 1)] = x[static_cast<std::size_t>(2 * n)];
        }
        s.fwd(x.data(), a.data(), b.data());
        s.fwd(swapped.data(), a2.data(), b2.data());
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_NEAR(a2[i], b[i], 1e-6f);
            ASSERT_NEAR(b2[i], a[i], 1e-6f);
        }
        for (int n = 0; n < s.m; ++n) x[static_cast<std::size_t>(2 * n + 1)] = 0.0f;
        s.fwd(x.data(), a.data(), b.data());
        for (float v : b) ASSERT_NEAR(v, 0.0f, 1e-7f);
    }
}

TEST(MdcstTest, InverseOfForwardIsWindowSquaredTimesInput) {
    SeededRng rng(dsp_test::kSeed);
    for (const Size& s : sizes) {
        const auto x = dsp_test::random_floats(rng, static_cast<std::size_t>(2 * s.m));
        std::vector<float> a(static_cast<std::size_t>(s.m)), b(a.size()), y(x.size());
        s.fwd(x.data(), a.data(), b.data());
        s.inv(a.data(), b.data(), y.data());
        const float* w = s.window();
        for (int n = 0; n < s.m; ++n)
            for (int c = 0; c < 2; ++c) {
                const std::size_t i = static_cast<std::size_t>(2 * n + c);
                ASSERT_NEAR(y[i], w[n] * w[n] * x[i], 2e-6f) << "M " << s.m << " n " << n;
            }
    }
}

// Three blocks s0 s1 s2 in two frames; only c = √2·Re X is kept and fed back
// as (√2·c, 0); overlap-adding the two outputs must rebuild s1.
TEST(MdcstTest, OverlapAddOfRealPartsRebuildsSharedBlock) {
    SeededRng rng(dsp_test::kSeed);
    for (const Size& s : sizes) {
        const int n_lines = s.m / 2;
        const auto sig = dsp_test::random_floats(rng, static_cast<std::size_t>(2 * 3 * n_lines));
        std::vector<float> y[2];
        for (int f = 0; f < 2; ++f) {
            std::vector<float> a(static_cast<std::size_t>(s.m)), b(a.size());
            s.fwd(sig.data() + 2 * n_lines * f, a.data(), b.data());
            for (int k = 0; k < n_lines; ++k) {
                const std::size_t re = static_cast<std::size_t>(2 * k);
                a[re] = r_sqrt_two * (r_sqrt_two * a[re]);
                b[re] = r_sqrt_two * (r_sqrt_two * b[re]);
                a[re + 1] = 0.0f;
                b[re + 1] = 0.0f;
            }
            y[f].resize(static_cast<std::size_t>(2 * s.m));
            s.inv(a.data(), b.data(), y[f].data());
        }
        for (int i = 0; i < 2 * n_lines; ++i) {
            const float rebuilt =
                y[0][static_cast<std::size_t>(2 * n_lines + i)] + y[1][static_cast<std::size_t>(i)];
            ASSERT_NEAR(rebuilt, sig[static_cast<std::size_t>(2 * n_lines + i)], 4e-6f)
                << "M " << s.m << " at " << i;
        }
    }
}

TEST(MdcstTest, SeparateAndCombineAreInverse) {
    SeededRng rng(dsp_test::kSeed);
    const int m = 12;
    const auto v = dsp_test::random_floats(rng, 2 * m);
    std::vector<float> a(m), b(m), z(2 * m);
    mdcst_separate_n(v.data(), a.data(), b.data(), m);
    // j·a − b = V and −conj(j·a + b) = W for b = −(V + conj W)/2, a = (V − conj W)/(2j).
    mdcst_combine_n(a.data(), b.data(), z.data(), m);
    for (int i = 0; i < 2 * m; ++i)
        EXPECT_NEAR(z[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(i)], 1e-6f) << i;
}

TEST(MdcstDeathTest, RefusesToRunWithoutTables) {
    std::vector<float> x(2 * 1764, 0.0f), a(1764), b(1764);
    EXPECT_DEATH(
        {
            da_fft_finit();
            stereo_mdcst_1764(x.data(), a.data(), b.data());
        },
        "stereo_mdcst_1764 called while");
    EXPECT_DEATH(
        {
            da_fft_finit();
            stereo_imdcst_112(a.data(), b.data(), x.data());
        },
        "stereo_imdcst_112 called while");
}

}  // namespace

namespace {

// Scratch is per call, tables are shared read only: transforms on several
// threads at once give exactly the single-threaded results.
TEST(MdcstTest, ConcurrentCallsMatchSingleThreadedResults) {
    SeededRng rng(dsp_test::kSeed);
    std::vector<std::vector<float>> inputs, expected;
    for (int t = 0; t < 2; ++t) {
        inputs.push_back(dsp_test::random_floats(rng, 2 * 1764));
        std::vector<float> a(1764), b(1764), y(2 * 1764);
        stereo_mdcst_1764(inputs.back().data(), a.data(), b.data());
        stereo_imdcst_1764(a.data(), b.data(), y.data());
        expected.push_back(y);
    }
    int mismatches[2] = {0, 0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            std::vector<float> a(1764), b(1764), y(2 * 1764);
            for (int round = 0; round < 200; ++round) {
                stereo_mdcst_1764(inputs[static_cast<std::size_t>(t)].data(), a.data(), b.data());
                stereo_imdcst_1764(a.data(), b.data(), y.data());
                if (y != expected[static_cast<std::size_t>(t)]) ++mismatches[t];
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches[0], 0);
    EXPECT_EQ(mismatches[1], 0);
}

}  // namespace

}  // namespace x91
