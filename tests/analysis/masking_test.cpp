#include "analysis/masking.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "analysis/band_envelope.h"
#include "format/settings.h"
#include "support/module_harness.h"
#include "support/test_seed.h"

namespace x91 {

namespace {

// The per-line decay factors as the model defines them, for checking
// single-line spreads.
float step_factor(float base, int line) {
    const auto bark = env_bark_itab(line + 2);
    return std::pow(base, bark[line + 1] - bark[line]);
}

class MaskingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mee.input = in;
        mee.output1 = pass;
        mee.output2 = curves;
    }
    da_MaskingEffectEvolve mee{ds.global, is.masking};
    DataQueue<float> in{4}, pass{4}, curves{4};
};

TEST_F(MaskingTest, FirstStepGivesNoCurveButPassesTheEnvelope) {
    in.put_data(make_item(std::vector<float>(800, 0.5f)));
    mee.work();
    EXPECT_EQ(curves.queued(), 0);
    EXPECT_EQ(pass.queued(), 1);
    EXPECT_EQ(in.queued(), 0);
}

// Frames queued together have their curves worked out side by side (up to
// eight at once); each must be the one of its envelope alone, also for a line
// count that leaves a partial group of eight lines.
TEST(MaskingModelTest, EachCurveIsTheStaticMaskOfTheFrameBefore) {
    SeededRng rng(77);
    std::uniform_real_distribution<float> u(1e-5f, 1.0f);
    for (const int lines : {800, 803}) {
        da_MaskingEffectEvolve mee({lines}, is.masking);
        DataQueue<float> in{16}, pass{16}, curves{16};
        mee.input = in;
        mee.output1 = pass;
        mee.output2 = curves;
        std::vector<std::vector<float>> envelopes(13, std::vector<float>(lines));
        for (auto& e : envelopes)
            for (float& x : e) x = u(rng);
        for (int k = 0; k < 13; ++k) {
            in.put_data(make_item(envelopes[k]));
            if (k == 0 || k == 2) mee.work();  // one step or several per call alike
        }
        mee.work();
        ASSERT_EQ(curves.queued(), 12);
        ASSERT_EQ(pass.queued(), 13);
        for (int k = 0; k < 12; ++k) {
            const auto curve = take_item<float>(curves, lines);
            const auto expected = mee.get_stat_mask(envelopes[k].data());
            EXPECT_EQ(std::memcmp(curve.data(), expected.data(), lines * sizeof(float)), 0)
                << lines << " lines, frame " << k;
        }
    }
}

TEST_F(MaskingTest, SingleLineSpreadsByTheLineFactors) {
    const float a = 0.75f;
    const int i = 100;
    std::vector<float> v(800, 0.0f);
    v[i] = a;
    const auto m = mee.get_stat_mask(v.data());
    const float level = a * is.masking.level_scale;
    EXPECT_FLOAT_EQ(m[i], level);
    EXPECT_FLOAT_EQ(m[i + 1], level * std::sqrt(step_factor(is.masking.upward_base, i + 1)));
    EXPECT_FLOAT_EQ(m[i - 1], level * std::sqrt(step_factor(is.masking.downward_base, i - 1)));
    EXPECT_LT(m[i + 2], m[i + 1]);
    EXPECT_LT(m[i - 2], m[i - 1]);
}

TEST(MaskingModelTest, LineZeroGetsNothingFromBelow) {
    // Without downward spread, line 0 hears only its own energy.
    da_IMaskingSetup setup = is.masking;
    setup.downward_base = 0.0f;
    const da_MaskingEffectEvolve mee(ds.global, setup);
    std::vector<float> v(800, 1.0f);
    v[0] = 0.0f;
    const auto m = mee.get_stat_mask(v.data());
    EXPECT_EQ(m[0], 0.0f);
    EXPECT_GT(m[1], 0.0f);
}

TEST(MaskingModelTest, DoublingTheLevelScaleDoublesTheCurve) {
    da_IMaskingSetup doubled = is.masking;
    doubled.level_scale *= 2.0f;
    const da_MaskingEffectEvolve base(ds.global, is.masking);
    const da_MaskingEffectEvolve twice(ds.global, doubled);
    std::vector<float> v(800);
    for (int i = 0; i < 800; ++i) v[i] = 0.001f + 0.5f * std::fabs(std::sin(0.37f * i));
    const auto a = base.get_stat_mask(v.data());
    const auto b = twice.get_stat_mask(v.data());
    for (int i = 0; i < 800; ++i) EXPECT_EQ(b[i], 2.0f * a[i]) << i;
}

TEST(MaskingModelTest, HostileEnvelopesAndSettingsDoNotFail) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int lines : {56, 1764}) {
        for (float base : {1e-30f, 1.0f}) {
            const da_IMaskingSetup setup = {1e30f, base, base, 0, 0, 0};
            const da_MaskingEffectEvolve mee({lines}, setup);
            std::vector<float> v(lines, 1.0f);
            v[0] = inf;
            v[lines / 2] = nan;
            v[lines - 1] = 0.0f;
            const auto m = mee.get_stat_mask(v.data());
            EXPECT_EQ(static_cast<int>(m.size()), lines);
        }
    }
}

}  // namespace

}  // namespace x91
