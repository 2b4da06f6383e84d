#include "analysis/band_envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

#include "analysis/envelope_reference.h"
#include "dsp/numeric.h"
#include "support/test_seed.h"

namespace x91 {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

double sum(const std::vector<float>& v) {
    double s = 0;
    for (float x : v) s += x;
    return s;
}

TEST(EnvOverlapTest, SmoothStepValues) {
    EXPECT_EQ(env_overlap(0.0f), 0.0f);
    EXPECT_EQ(env_overlap(0.5f), 0.5f);
    EXPECT_EQ(env_overlap(0.75f), 0.84375f);
    EXPECT_EQ(env_overlap(1.0f), 1.0f);
}

TEST(EnvItabTest, ScalesAtLineCentres) {
    const auto quad = env_quad_itab(4);
    EXPECT_EQ(quad[0], static_cast<float>(std::sqrt(12.5)));
    EXPECT_EQ(quad[3], static_cast<float>(std::sqrt(87.5)));
    const auto bark = env_bark_itab(41);
    EXPECT_EQ(bark[0], freq_to_bark(12.5f));
    EXPECT_EQ(bark[40], freq_to_bark(1012.5f));
}

TEST(EnvRangesetTest, MapsEndsToTargets) {
    std::vector<float> t = {2.0f, 3.0f, 6.0f};
    EXPECT_EQ(env_inctable_rangeset(t.data(), 3, 0.0f, 1.0f), 3);
    EXPECT_EQ(t[0], 0.0f);
    EXPECT_EQ(t[1], 0.25f);
    EXPECT_EQ(t[2], 1.0f);
}

TEST(EnvRangesetTest, FlatTableIsSpreadEvenlyInsteadOfNaN) {
    std::vector<float> t(5, 7.0f);
    env_inctable_rangeset(t.data(), 5, 1.0f, 3.0f);
    EXPECT_EQ(t, (std::vector<float>{1.0f, 1.5f, 2.0f, 2.5f, 3.0f}));
    std::vector<float> one = {4.0f};
    env_inctable_rangeset(one.data(), 1, 1.0f, 3.0f);
    EXPECT_EQ(one[0], 1.0f);
}

TEST(EnvRangesetTest, NonFiniteEndsAreSpreadEvenly) {
    for (float end : {kNaN, kInf, -kInf}) {
        std::vector<float> t = {end, 1.0f, 2.0f};
        env_inctable_rangeset(t.data(), 3, 0.0f, 2.0f);
        EXPECT_EQ(t, (std::vector<float>{0.0f, 1.0f, 2.0f})) << end;
    }
}

TEST(EnvItableArangeTest, EndsAndSlopeLimit) {
    auto t = env_quad_itab(800);
    env_itable_arange(t.data(), 800, 32, 1.0f);
    EXPECT_EQ(t.front(), 0.75f);
    EXPECT_EQ(t.back(), 32.25f);
    for (int i = 1; i < 800; ++i) {
        EXPECT_LE(t[i] - t[i - 1], 1.0f + 1e-5f) << i;
        EXPECT_GE(t[i], t[i - 1]) << i;
    }
}

TEST(EnvItableArangeTest, ForwardPassKeepsLastBackwardPassMayRaiseFirst) {
    // A steep end on too few lines: the backward pass pulls the first
    // entries up towards the fixed last one.
    std::vector<float> t = {0.0f, 0.1f, 10.0f};
    env_itable_arange(t.data(), 3, 3, 1.0f);
    EXPECT_EQ(t, (std::vector<float>{1.25f, 2.25f, 3.25f}));
    // A steep start: the forward pass flattens it and leaves the last alone.
    std::vector<float> u = {0.0f, 10.0f, 10.5f, 11.0f};
    env_itable_arange(u.data(), 4, 3, 1.0f);
    EXPECT_EQ(u.front(), 0.75f);
    EXPECT_EQ(u[1], 1.75f);
    EXPECT_EQ(u[2], 2.75f);
    EXPECT_EQ(u.back(), 3.25f);
}

// The slope limits as two plain passes over the lines, each position
// compared with its neighbour as already limited.
void line_by_line_arange(std::vector<float>& t, int bands, float step) {
    const int count = static_cast<int>(t.size());
    env_inctable_rangeset(t.data(), count, 0.75f, static_cast<float>(bands) + 0.25f);
    for (int i = 1; i < count - 1; ++i)
        if (t[i] > t[i - 1] + step) t[i] = t[i - 1] + step;
    for (int i = count - 2; i >= 0; --i)
        if (t[i + 1] - step > t[i]) t[i] = t[i + 1] - step;
}

TEST(EnvItableArangeTest, BlockScanGivesTheLineByLinePassesBitForBit) {
    SeededRng rng(31);
    std::exponential_distribution<float> rise(4.0f);
    for (int round = 0; round < 400; ++round) {
        const int count = std::uniform_int_distribution<int>(1, 300)(rng);
        const float step = round % 3 == 0 ? 0.25f : 1.0f;
        // Rising tables with rare steep rises, sometimes with plateaus,
        // falls or non-finite values in them.
        std::vector<float> t(count);
        float x = 0.0f;
        for (float& v : t) {
            x += rng() % 40 == 0 ? 200.0f * rise(rng) : rise(rng);
            v = x;
            if (round % 4 == 1 && rng() % 50 == 0) v = rng() % 2 ? kNaN : -x;
        }
        std::vector<float> ours = t, theirs = t;
        env_itable_arange(ours.data(), count, 1 + round % 40, step);
        line_by_line_arange(theirs, 1 + round % 40, step);
        ASSERT_EQ(std::memcmp(ours.data(), theirs.data(), count * sizeof(float)), 0) << round;
    }
}

TEST(EnvIweightsTest, OuterLinesCountFullyAndWeightsSumToCount) {
    // Positions 0.75 and bands + 0.25 fall into the outer slots, which fold
    // into the first and the last band.
    std::vector<float> t = {0.75f, 3.25f};
    auto w = env_iweights(t.data(), 2, 3);
    EXPECT_EQ(w[0], 1.0f);
    EXPECT_EQ(w[1], 0.0f);
    EXPECT_EQ(w[2], 1.0f);

    auto itab = env_quad_itab(800);
    env_itable_arange(itab.data(), 800, 32, 1.0f);
    auto weights = env_iweights(itab.data(), 800, 32);
    EXPECT_NEAR(sum(weights), 800.0, 1e-3);
    for (float x : weights) EXPECT_GT(x, 0.0f);
}

TEST(EnvIweightsTest, IntegerPositionGoesToOneSlot) {
    std::vector<float> t = {2.0f};
    auto w = env_iweights(t.data(), 1, 3);
    EXPECT_EQ(w, (std::vector<float>{0.0f, 1.0f, 0.0f}));
}

TEST(EnvLowHighresTest, ConstantsSurviveBothDirections) {
    auto itab = env_bark_itab(800);
    env_itable_arange(itab.data(), 800, 24, 1.0f);
    auto weights = env_iweights(itab.data(), 800, 24);
    std::vector<float> bands(24, 0.375f);
    for (float v : env_highres(itab.data(), 800, 24, bands.data())) EXPECT_FLOAT_EQ(v, 0.375f);
    std::vector<float> lines(800, 0.625f);
    // Band sums of up to a hundred lines: a few ulps of rounding per band.
    for (float v : env_lowres(itab.data(), 800, 24, weights.data(), lines.data()))
        EXPECT_NEAR(v, 0.625f, 1e-5f);
}

TEST(EnvLowresIterTest, ZeroPassesIsClampedLowres) {
    auto itab = env_quad_itab(200);
    env_itable_arange(itab.data(), 200, 10, 1.0f);
    auto weights = env_iweights(itab.data(), 200, 10);
    std::vector<float> values(200);
    for (int i = 0; i < 200; ++i) values[i] = 1.5f * std::sin(0.05f * i);
    auto plain = env_lowres(itab.data(), 200, 10, weights.data(), values.data());
    auto clamped =
        env_lowres_iter(itab.data(), 200, 10, weights.data(), values.data(), 0.0f, 1.0f, 0);
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(clamped[j], std::min(1.0f, std::max(0.0f, plain[j]))) << j;
}

TEST(EnvLowresIterTest, RefinementFitsTheDataBetter) {
    SeededRng rng(1234);
    std::uniform_real_distribution<float> u(0.05f, 0.95f);
    auto itab = env_quad_itab(800);
    env_itable_arange(itab.data(), 800, 32, 1.0f);
    auto weights = env_iweights(itab.data(), 800, 32);
    std::vector<float> band_truth(32);
    for (float& b : band_truth) b = u(rng);
    const auto values = env_highres(itab.data(), 800, 32, band_truth.data());
    auto misfit = [&](int passes) {
        auto env = env_lowres_iter(itab.data(), 800, 32, weights.data(), values.data(), 0.0f, 1.0f,
                                   passes);
        auto h = env_highres(itab.data(), 800, 32, env.data());
        double e = 0;
        for (int i = 0; i < 800; ++i) e += (h[i] - values[i]) * (h[i] - values[i]);
        return e;
    };
    EXPECT_LT(misfit(4), 0.5 * misfit(0));
}

// Tables not built by env_itable_arange: every position, NaN and infinities
// included, must stay inside the scratch (ASan checks the accesses).
TEST(EnvHostileTableTest, OutOfRangeAndNaNPositionsArePinned) {
    std::vector<float> t = {kNaN, -kInf, -5.0f, 0.0f, 1.5f, 4.0f, 4.5f, 1e30f, kInf};
    const int n = static_cast<int>(t.size());
    const int bands = 3;
    auto w = env_iweights(t.data(), n, bands);
    EXPECT_NEAR(sum(w), n, 1e-5);
    for (float x : w) EXPECT_TRUE(std::isfinite(x));
    std::vector<float> values(n, 2.0f);
    for (float x : env_lowres(t.data(), n, bands, w.data(), values.data()))
        EXPECT_FLOAT_EQ(x, 2.0f);
    std::vector<float> low = {1.0f, 2.0f, 3.0f};
    auto h = env_highres(t.data(), n, bands, low.data());
    EXPECT_EQ(h[0], 1.0f);      // NaN: the lower end
    EXPECT_EQ(h[1], 1.0f);      // −inf
    EXPECT_EQ(h[n - 1], 3.0f);  // +inf: the upper end
    EXPECT_EQ(h[n - 2], 3.0f);
    auto iter = env_lowres_iter(t.data(), n, bands, w.data(), values.data(), 0.0f, 1.0f, 4);
    for (float x : iter) EXPECT_EQ(x, 1.0f);
}

TEST(EnvHostileTableTest, NaNValuesClampToLowerBound) {
    std::vector<float> t = {0.75f, 1.5f, 2.5f, 3.25f};
    auto w = env_iweights(t.data(), 4, 3);
    std::vector<float> values = {kNaN, kNaN, kNaN, kNaN};
    for (float x : env_lowres_iter(t.data(), 4, 3, w.data(), values.data(), 0.0f, 1.0f, 2))
        EXPECT_EQ(x, 0.0f);
}

TEST(EnvHostileTableTest, ArangeOfNaNTableGivesUsablePositions) {
    std::vector<float> t(50, kNaN);
    env_itable_arange(t.data(), 50, 12, 1.0f);
    for (float x : t) {
        EXPECT_GE(x, 0.75f);
        EXPECT_LE(x, 12.25f);
    }
}

}  // namespace

namespace {

std::uint32_t bits_of(float x) {
    std::uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

}  // namespace

// The prepared shares are computed several lines at a time; interpolation and
// band means through them must match the plain per-line forms bit for bit,
// also for positions a damaged stream can produce and for a tail shorter than
// a batch. Rising tables (every arranged one) have their band sums taken
// slot by slot side by side; others run by run: both are checked, with
// values of both signs, so that sums also cancel to zero.
TEST(EnvSharesTest, PreparedSharesMatchTheTableFormsBitForBit) {
    SeededRng rng(7);
    const int bands = 12;
    const float top = static_cast<float>(bands + 1);
    const float specials[] = {kNaN,    kInf, -kInf, -0.0f,
                              0.0f,    1.0f, top,   std::nextafter(top, 0.0f),
                              -1e-30f, 3e9f, -3e9f, std::nextafter(0.0f, -1.0f),
                              0.5f};
    std::uniform_real_distribution<float> position(-1.0f, top + 1.0f);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (const auto& [count, rising] : {std::pair{1, false},
                                        {7, false},
                                        {8, false},
                                        {803, false},
                                        {1, true},
                                        {9, true},
                                        {803, true}}) {
        std::vector<float> itab(count), values(count), lowres(bands);
        for (int i = 0; i < count; ++i) {
            itab[i] = rng() % 4 == 0 ? specials[rng() % std::size(specials)] : position(rng);
            if (rising && itab[i] != itab[i]) itab[i] = 0.0f;
            values[i] = rising && rng() % 2 ? -value(rng) : value(rng);
        }
        if (rising) std::sort(itab.begin(), itab.end());
        for (float& v : lowres) v = value(rng);
        env_Shares shares;
        shares.prepare(itab.data(), count, bands);
        EXPECT_TRUE(shares.chained || !rising);
        std::vector<float> slots(bands + 2), by_shares(count);
        const std::vector<float> by_table = env_highres(itab.data(), count, bands, lowres.data());
        env_highres_to(shares, lowres.data(), by_shares.data(), slots.data());
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(bits_of(by_table[i]), bits_of(by_shares[i]))
                << "line " << i << " at " << itab[i];
        std::vector<float> weights_shares(bands);
        const std::vector<float> weights_table = env_iweights(itab.data(), count, bands);
        env_iweights_to(shares, weights_shares.data(), slots.data());
        for (int j = 0; j < bands; ++j)
            ASSERT_EQ(bits_of(weights_table[j]), bits_of(weights_shares[j])) << "band " << j;
        const std::vector<float> weights(bands, 1.0f);
        std::vector<float> low_shares(bands);
        const std::vector<float> low_table =
            env_lowres(itab.data(), count, bands, weights.data(), values.data());
        env_lowres_to(shares, weights.data(), values.data(), low_shares.data(), slots.data());
        for (int j = 0; j < bands; ++j)
            ASSERT_EQ(bits_of(low_table[j]), bits_of(low_shares[j])) << "band " << j;
        // Shares prepared without chains sum line by line, to the same bits.
        env_Shares unchained;
        unchained.prepare(itab.data(), count, bands, ShareSums::line_by_line);
        EXPECT_FALSE(unchained.chained);
        env_lowres_to(unchained, weights.data(), values.data(), low_shares.data(), slots.data());
        for (int j = 0; j < bands; ++j)
            ASSERT_EQ(bits_of(low_table[j]), bits_of(low_shares[j])) << "unchained band " << j;
        const std::vector<float> iter_table = env_lowres_iter(
            itab.data(), count, bands, weights.data(), values.data(), 0.0f, 1.0f, 3);
        env_Scratch scratch(count, bands);
        std::vector<float> iter_shares(bands);
        env_lowres_iter_to(shares, weights.data(), values.data(), 0.0f, 1.0f, 3, iter_shares.data(),
                           scratch);
        for (int j = 0; j < bands; ++j)
            ASSERT_EQ(bits_of(iter_table[j]), bits_of(iter_shares[j])) << "band " << j;
        // Freeing the spare keeps the run starts where the sums still read them.
        shares.free_spare();
        env_lowres_to(shares, weights.data(), values.data(), low_shares.data(), slots.data());
        for (int j = 0; j < bands; ++j)
            ASSERT_EQ(bits_of(low_table[j]), bits_of(low_shares[j])) << "freed band " << j;
    }
}

}  // namespace x91
