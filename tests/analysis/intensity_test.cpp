#include "analysis/intensity.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "dsp/numeric.h"
#include "format/settings.h"
#include "support/module_harness.h"

namespace x91 {

namespace {

TEST(IntensityTablesTest, FirstLineAtOrAboveEachBandCentre) {
    const da_IntensityTables tables(ds.global, ds.intensity);
    const std::vector<int> expected = {1,   3,   7,   13,  20,  28,  38,  50,  63,  77,  94,
                                       111, 131, 151, 174, 198, 223, 250, 278, 308, 340, 373,
                                       407, 443, 481, 520, 561, 603, 647, 692, 739, 787};
    std::vector<int> first;
    int line = 0;
    for (int band = 0; band < 32; ++band) {
        while (tables.index_table[line] < static_cast<float>(band + 1)) ++line;
        first.push_back(line);
    }
    EXPECT_EQ(first, expected);
}

TEST(IntensityTablesTest, DefaultBandWeights) {
    const da_IntensityTables tables(ds.global, ds.intensity);
    const auto& w = tables.band_weights;
    ASSERT_EQ(w.size(), 32u);
    EXPECT_NEAR(w[0], 1.888f, 1e-3f);
    EXPECT_NEAR(w[1], 3.169f, 1e-3f);
    EXPECT_NEAR(w[30], 47.578f, 1e-3f);
    EXPECT_NEAR(w[31], 37.150f, 1e-3f);
    double total = 0;
    for (float x : w) total += x;
    EXPECT_NEAR(total, 800.0, 1e-3);
    for (int j = 2; j <= 30; ++j) EXPECT_NEAR(w[j] - w[j - 1], 1.53f, 0.1f) << j;
}

TEST(IntensityTablesTest, LeavingOutTheIndexTableChangesNothingElse) {
    const da_IntensityTables kept(ds.global, ds.intensity);
    const da_IntensityTables left_out(ds.global, ds.intensity, IndexTable::dropped);
    EXPECT_EQ(kept.index_table.size(), 800u);
    EXPECT_TRUE(left_out.index_table.empty());
    EXPECT_EQ(kept.band_weights, left_out.band_weights);
    EXPECT_EQ(kept.shares.upper, left_out.shares.upper);
}

TEST(IntensityIndexTest, HalfStepsRoundTowardsTheLouderIndex) {
    const da_DIntensitySetup s = ds.intensity;
    EXPECT_EQ(intensity_index(0.0f, s), 0);
    EXPECT_EQ(intensity_index(-1.5625f, s), 0);  // −0.5 steps
    EXPECT_EQ(intensity_index(-4.6875f, s), 1);  // −1.5 steps
    EXPECT_EQ(intensity_index(-100.0f, s), 31);
    EXPECT_EQ(intensity_index(-96.875f, s), 31);
}

TEST(IntensityIndexTest, AmplitudeFollowsTheFormulaForAnyIndex) {
    const da_DIntensitySetup s = ds.intensity;
    EXPECT_EQ(intensity_amplitude(0, s), 1.0f);
    EXPECT_EQ(intensity_amplitude(31, s), std::pow(2.0f, -96.875f / 6.0f));
    EXPECT_GT(intensity_amplitude(-1, s), 1.0f);
    EXPECT_EQ(intensity_amplitude(1 << 30, s), 0.0f);
    EXPECT_EQ(intensity_amplitude(INT_MAX, s), 0.0f);
    EXPECT_TRUE(std::isinf(intensity_amplitude(INT_MIN, s)));
}

class IntensityModulesTest : public ::testing::Test {
  protected:
    // Runs one frame with constant line magnitude through measure and
    // envelope creation.
    void run_frame(float magnitude) {
        std::vector<float> line(2 * 800);
        for (int i = 0; i < 800; ++i) line[2 * i] = magnitude;
        in.put_data(make_spectrum(line, 800));
        in.put_data(make_spectrum(line, 800));
        measure.work();
        ASSERT_EQ(spectra.queued(), 2);
        ASSERT_EQ(indices.queued(), 1);
        creation.work();
        ASSERT_EQ(pass.queued(), 1);
        ASSERT_EQ(envelopes.queued(), 1);
        index = take_item<int>(pass, 32);
        envelope = take_item<float>(envelopes, 800);
    }

    void SetUp() override {
        measure.input = in;
        measure.output1 = spectra;
        measure.output2 = indices;
        creation.input = indices;
        creation.output1 = pass;
        creation.output2 = envelopes;
    }

    da_IntensityTables tables{ds.global, ds.intensity};
    da_IntensityMeasure measure{ds.global, ds.intensity, tables};
    da_IntensityEnvCreation creation{ds.global, ds.intensity, tables};
    DataQueue<float> in{4}, spectra{4}, envelopes{4};
    DataQueue<int> indices{4}, pass{4};
    std::vector<int> index;
    std::vector<float> envelope;
};

TEST_F(IntensityModulesTest, SilentFrameGivesTheFloorEverywhere) {
    run_frame(0.0f);
    EXPECT_EQ(index, std::vector<int>(32, 31));
    const float floor = std::pow(2.0f, -96.875f / 6.0f);
    EXPECT_NEAR(floor, 1.38e-5f, 0.01e-5f);
    for (float v : envelope) EXPECT_FLOAT_EQ(v, floor);
}

TEST_F(IntensityModulesTest, FullScaleFrameGivesIndexZeroAndAmplitudeOne) {
    run_frame(10.0f);  // clamped to 1 in every band
    EXPECT_EQ(index, std::vector<int>(32, 0));
    for (float v : envelope) EXPECT_EQ(v, 1.0f);
}

TEST_F(IntensityModulesTest, MeasureNeedsTwoSpectra) {
    in.put_data(make_spectrum(std::vector<float>(1600, 0.0f), 800));
    measure.work();
    EXPECT_EQ(in.queued(), 1);
    EXPECT_EQ(indices.queued(), 0);
}

TEST_F(IntensityModulesTest, DamagedIndicesStillGiveAnEnvelope) {
    indices.put_data(make_item<int>({INT_MIN, -1, 0, 31, 32, 1 << 30, INT_MAX, -(1 << 30), 5, 5, 5,
                                     5,       5,  5, 5,  5,  5,       5,       5,          5, 5, 5,
                                     5,       5,  5, 5,  5,  5,       5,       5,          5, 5}));
    creation.work();
    envelope = take_item<float>(envelopes, 800);
    pass.get_data();
    EXPECT_GT(envelope[799], 0.0f);
}

// The amplitudes of indices 0 .. steps - 1 come from a table; every index,
// the ones next to the table and damaged ones must give the envelope that
// intensity_amplitude's values give.
TEST_F(IntensityModulesTest, EnvelopeOfEveryIndexMatchesTheAmplitudeFormula) {
    const int bands = ds.intensity.bands;
    for (int first = -bands; first <= ds.intensity.steps; first += bands) {
        std::vector<int> frame(bands);
        for (int j = 0; j < bands; ++j) frame[j] = first + j;
        frame[0] = first < 0 ? INT_MIN : INT_MAX;
        indices.put_data(make_item<int>(frame));
        creation.work();
        envelope = take_item<float>(envelopes, 800);
        pass.get_data();
        std::vector<float> amplitude(bands), expected(800), slots(bands + 2);
        for (int j = 0; j < bands; ++j) amplitude[j] = intensity_amplitude(frame[j], ds.intensity);
        env_highres_to(tables.shares, amplitude.data(), expected.data(), slots.data());
        ASSERT_EQ(std::memcmp(envelope.data(), expected.data(), sizeof(float) * 800), 0) << first;
    }
}

}  // namespace

}  // namespace x91
