#include "analysis/side_stereo.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "format/settings.h"
#include "support/module_harness.h"
#include "support/test_seed.h"

namespace x91 {

namespace {

constexpr int kLines = 800;

std::vector<float> random_spectrum(std::mt19937& rng, float scale) {
    std::normal_distribution<float> g(0.0f, scale);
    std::vector<float> s(2 * kLines);
    for (float& x : s) x = g(rng);
    return s;
}

// A map as the encoder builds it from a smooth envelope.
std::vector<float> make_map(const std::vector<float>& envelope) {
    DataQueue<float> in(2), pass(2), maps(2);
    da_StereoMapCreator smc(ds.global, ds.side_stereo);
    smc.input = in;
    smc.output1 = pass;
    smc.output2 = maps;
    in.put_data(make_item(envelope));
    smc.work();
    pass.get_data();
    return take_item<float>(maps, kLines);
}

std::vector<float> falling_envelope() {
    std::vector<float> e(kLines);
    for (int i = 0; i < kLines; ++i) e[i] = 1.0f / (1.0f + 0.02f * i);
    return e;
}

TEST(StereoMapCreatorTest, MapRisesFromFirstToLastPosition) {
    SeededRng rng(4242);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<float> e(kLines);
        for (float& x : e) x = u(rng) * u(rng) * u(rng);
        const auto map = make_map(e);
        EXPECT_EQ(map.front(), 0.75f);
        EXPECT_NEAR(map.back(), 12.25f, 1e-5f);  // the rescale rounds once per entry
        for (int i = 1; i < kLines; ++i) ASSERT_GE(map[i], map[i - 1]) << trial << " " << i;
    }
}

// Frames queued together have their running sums taken side by side (up to
// eight at once); each map must be the one its envelope gives alone.
TEST(StereoMapCreatorTest, FramesQueuedTogetherGiveTheMapsOfEachAlone) {
    SeededRng rng(4243);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    DataQueue<float> in(16), pass(16), maps(16);
    da_StereoMapCreator smc(ds.global, ds.side_stereo);
    smc.input = in;
    smc.output1 = pass;
    smc.output2 = maps;
    std::vector<std::vector<float>> envelopes(11, std::vector<float>(kLines));
    for (auto& e : envelopes) {
        for (float& x : e) x = u(rng) * u(rng);
        in.put_data(make_item(e));
    }
    smc.work();
    for (const auto& e : envelopes) {
        pass.get_data();
        EXPECT_EQ(take_item<float>(maps, kLines), make_map(e));
    }
}

TEST(StereoMapCreatorTest, DegenerateEnvelopesGiveAFiniteMap) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float v : {0.0f, inf, nan, -1.0f}) {
        const auto map = make_map(std::vector<float>(kLines, v));
        for (float x : map) {
            ASSERT_GE(x, 0.75f) << v;
            ASSERT_LE(x, 12.25f) << v;
        }
    }
}

class SideStereoTest : public ::testing::Test {
  protected:
    // Measure then rotate one frame with the encoder's direction.
    void encode(const std::vector<float>& l, const std::vector<float>& r,
                const std::vector<float>& map) {
        da_StereoSideMeasure ssm(ds.global, ds.intensity, ds.side_stereo);
        DataQueue<float> spectra(2), maps(2), out_spectra(2), out_maps(2);
        DataQueue<int> out_index(2);
        ssm.input1 = spectra;
        ssm.input2 = maps;
        ssm.output1 = out_spectra;
        ssm.output2 = out_maps;
        ssm.output3 = out_index;
        spectra.put_data(make_spectrum(l, kLines));
        spectra.put_data(make_spectrum(r, kLines));
        maps.put_data(make_item(map));
        ssm.work();
        ASSERT_EQ(out_spectra.queued(), 2);
        ASSERT_EQ(out_maps.queued(), 1);
        index = take_item<int>(out_index, 12);
        rotate(1, out_spectra, out_maps);
    }

    // Rotates whatever spectra and map are queued, with `index`.
    void rotate(int direction, DataQueue<float>& spectra, DataQueue<float>& maps, int unused = 2) {
        da_StereoSideTransform sst(ds.global, ds.side_stereo, direction, unused);
        DataQueue<int> indices(2), out_index(2);
        DataQueue<float> out_maps(2);
        sst.input1 = spectra;
        sst.input2 = maps;
        sst.input3 = indices;
        sst.output1 = rotated;
        sst.output2 = out_maps;
        sst.output3 = out_index;
        indices.put_data(make_item(index));
        sst.work();
        ASSERT_EQ(rotated.queued(), 2);
        out_maps.get_data();
        out_index.get_data();
    }

    void rotate_pair(int direction, const std::vector<float>& l, const std::vector<float>& r,
                     const std::vector<float>& map, int unused = 2) {
        DataQueue<float> spectra(2), maps(2);
        spectra.put_data(make_spectrum(l, kLines));
        spectra.put_data(make_spectrum(r, kLines));
        maps.put_data(make_item(map));
        rotate(direction, spectra, maps, unused);
    }

    std::vector<int> index;
    DataQueue<float> rotated{2};
};

TEST_F(SideStereoTest, IdenticalChannelsGiveMiddleBalanceAndSumRotation) {
    SeededRng rng(99);
    const auto l = random_spectrum(rng, 0.01f);
    encode(l, l, make_map(falling_envelope()));
    EXPECT_EQ(index, std::vector<int>(12, 16));
    const auto a = take_item<float>(rotated, 2 * kLines);
    const auto b = take_item<float>(rotated, 2 * kLines);
    // 16/31 is not exactly one half: the principal channel gets about
    // 1.4135·l and the residual about 0.0456·l.
    for (int i = 0; i < 2 * kLines; ++i) {
        EXPECT_NEAR(a[i], 1.41348f * l[i], 1e-4f * std::fabs(l[i]) + 1e-9f) << i;
        EXPECT_NEAR(b[i], 0.045596f * l[i], 1e-4f * std::fabs(l[i]) + 1e-9f) << i;
    }
}

TEST_F(SideStereoTest, LeftOnlyGivesTopIndexAndNoRotation) {
    SeededRng rng(5);
    auto l = random_spectrum(rng, 0.01f);
    for (int i = 0; i < kLines; ++i) l[2 * i] = 0.01f + std::fabs(l[2 * i]);
    const std::vector<float> r(2 * kLines, 0.0f);
    encode(l, r, make_map(falling_envelope()));
    EXPECT_EQ(index, std::vector<int>(12, 31));
    EXPECT_EQ(take_item<float>(rotated, 2 * kLines), l);
    EXPECT_EQ(take_item<float>(rotated, 2 * kLines), r);
}

TEST_F(SideStereoTest, RightOnlyGivesIndexZero) {
    SeededRng rng(6);
    auto r = random_spectrum(rng, 0.01f);
    for (int i = 0; i < kLines; ++i) r[2 * i] = 0.01f + std::fabs(r[2 * i]);
    encode(std::vector<float>(2 * kLines, 0.0f), r, make_map(falling_envelope()));
    EXPECT_EQ(index, std::vector<int>(12, 0));
}

TEST_F(SideStereoTest, InverseRotationReturnsThePair) {
    SeededRng rng(31337);
    const auto map = make_map(falling_envelope());
    for (int trial = 0; trial < 10; ++trial) {
        const auto l = random_spectrum(rng, 0.02f);
        auto r = random_spectrum(rng, 0.01f);
        for (int i = 0; i < 2 * kLines; ++i) r[i] += 0.5f * l[i];
        encode(l, r, map);
        const auto a = take_item<float>(rotated, 2 * kLines);
        const auto b = take_item<float>(rotated, 2 * kLines);
        rotate_pair(-1, a, b, map);
        const auto l2 = take_item<float>(rotated, 2 * kLines);
        const auto r2 = take_item<float>(rotated, 2 * kLines);
        for (int i = 0; i < 2 * kLines; ++i) {
            ASSERT_NEAR(l2[i], l[i], 1e-6f) << trial << " " << i;
            ASSERT_NEAR(r2[i], r[i], 1e-6f) << trial << " " << i;
        }
    }
}

TEST_F(SideStereoTest, SecondIntHasNoEffect) {
    SeededRng rng(8);
    const auto l = random_spectrum(rng, 0.02f);
    const auto r = random_spectrum(rng, 0.02f);
    const auto map = make_map(falling_envelope());
    index = {0, 3, 7, 16, 20, 31, 31, 30, 2, 9, 16, 16};
    rotate_pair(1, l, r, map, 2);
    const auto a2 = take_item<float>(rotated, 2 * kLines);
    const auto b2 = take_item<float>(rotated, 2 * kLines);
    rotate_pair(1, l, r, map, -77);
    EXPECT_EQ(take_item<float>(rotated, 2 * kLines), a2);
    EXPECT_EQ(take_item<float>(rotated, 2 * kLines), b2);
}

TEST_F(SideStereoTest, IndicesOutsideTheLevelsStillRotateFinitely) {
    SeededRng rng(9);
    const auto l = random_spectrum(rng, 0.02f);
    const auto r = random_spectrum(rng, 0.02f);
    index = {INT_MIN, INT_MAX, -1, 32, 1 << 30, -(1 << 30), 0, 31, 100, -100, 15, 16};
    rotate_pair(-1, l, r, make_map(falling_envelope()));
    for (int ch = 0; ch < 2; ++ch)
        for (float x : take_item<float>(rotated, 2 * kLines)) ASSERT_TRUE(std::isfinite(x));
}

TEST_F(SideStereoTest, NaNMapDoesNotFail) {
    SeededRng rng(10);
    const auto l = random_spectrum(rng, 0.02f);
    index = std::vector<int>(12, 16);
    rotate_pair(-1, l, l, std::vector<float>(kLines, std::numeric_limits<float>::quiet_NaN()));
}

TEST(StereoSideTransformTest, WaitsForAllThreeInputs) {
    da_StereoSideTransform sst(ds.global, ds.side_stereo, 1, 2);
    DataQueue<float> spectra(2), maps(2), out1(2), out2(2);
    DataQueue<int> indices(2), out3(2);
    sst.input1 = spectra;
    sst.input2 = maps;
    sst.input3 = indices;
    sst.output1 = out1;
    sst.output2 = out2;
    sst.output3 = out3;
    spectra.put_data(make_spectrum(std::vector<float>(2 * kLines, 0.0f), kLines));
    spectra.put_data(make_spectrum(std::vector<float>(2 * kLines, 0.0f), kLines));
    maps.put_data(make_item(std::vector<float>(kLines, 1.0f)));
    sst.work();
    EXPECT_EQ(out1.queued(), 0);
    indices.put_data(make_item(std::vector<int>(12, 16)));
    sst.work();
    EXPECT_EQ(out1.queued(), 2);
    EXPECT_EQ(out2.queued(), 1);
    EXPECT_EQ(out3.queued(), 1);
}

}  // namespace

}  // namespace x91
