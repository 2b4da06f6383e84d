#include "dsp/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "dsp/numeric_toolbox.h"
#include "dsp_test_support.h"

namespace x91 {

namespace {

TEST(NumericConstantsTest, ValuesAreTheFloatRoundings) {
    EXPECT_EQ(r_pi, 3.1415927f);
    EXPECT_EQ(r_2pi, 6.2831855f);
    EXPECT_EQ(r_sqrt_two, std::sqrt(2.0f));
}

TEST(RoundingTest, EnergyRoundSwitchesAtRootOfTruncatedEnergy) {
    EXPECT_EQ(energy_round(2.5f), 2);
    EXPECT_EQ(energy_round(2.64f), 2);
    EXPECT_EQ(energy_round(2.6457f), 2);  // 2.6457² = 6.99973: energy 6
    EXPECT_EQ(energy_round(2.6458f), 3);  // energy 7 ties and goes up
    EXPECT_EQ(energy_round(2.75f), 3);
    EXPECT_EQ(energy_round(3.0f), 3);
    EXPECT_EQ(energy_round(-2.5f), -2);
    EXPECT_EQ(energy_round(-2.75f), -3);
    EXPECT_EQ(energy_round(0.0f), 0);
    EXPECT_EQ(energy_round(0.99f), 0);  // energy 0.98 truncates to 0
}

TEST(RoundingTest, RoundSendsHalvesUpwards) {
    EXPECT_EQ(r_round(2.5f), 3);
    EXPECT_EQ(r_round(-2.5f), -2);
    EXPECT_EQ(r_round(-2.51f), -3);
    EXPECT_EQ(r_floor(-0.5f), -1);
    EXPECT_EQ(r_floor(7.0f), 7);
}

TEST(RoundingTest, NonFiniteAndHugeValuesSaturate) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(r_floor(std::nanf("")), 0);
    EXPECT_EQ(r_round(inf), std::numeric_limits<int>::max());
    EXPECT_EQ(r_floor(-inf), std::numeric_limits<int>::min());
    EXPECT_EQ(r_round(3e9f), std::numeric_limits<int>::max());
}

TEST(LevelScaleTest, DecibelsCountSixPerDoubling) {
    EXPECT_EQ(db_to_amplify(6.0f), 2.0f);
    EXPECT_EQ(db_to_amplify(-12.0f), 0.25f);
    EXPECT_EQ(amplify_to_db(8.0f, -100.0f), 18.0f);
    EXPECT_EQ(amplify_to_db(0.0f, -37.5f), -37.5f);
    EXPECT_EQ(amplify_to_db(-3.0f, -37.5f), -37.5f);
    EXPECT_EQ(amplify_to_db(db_to_amplify(12.0f), 12.0f), 12.0f);  // not above the floor
    EXPECT_EQ(amplify_to_db(0.25f, 12.0f), 12.0f);
}

// The form given the floor's amplitude answers as the one that works it out.
TEST(LevelScaleTest, FloorAmplitudeGivenOnceGivesTheSameLevels) {
    for (const float floor_db : {-100.0f, -37.5f, 12.0f})
        for (const float a : {-3.0f, 0.0f, 0.25f, 0.999f, 8.0f, db_to_amplify(floor_db),
                              std::nextafter(db_to_amplify(floor_db), 1e9f)})
            EXPECT_EQ(amplify_to_db(a, floor_db, db_to_amplify(floor_db)),
                      amplify_to_db(a, floor_db))
                << a << " against " << floor_db;
}

TEST(ScalarTest, BarkScale) {
    EXPECT_EQ(freq_to_bark(0.0f), 0.0f);
    EXPECT_NEAR(freq_to_bark(1000.0f), 8.51f, 0.005f);
    EXPECT_GT(freq_to_bark(20000.0f), freq_to_bark(10000.0f));
}

TEST(ScalarTest, SignedPowKeepsTheSignAndZero) {
    EXPECT_FLOAT_EQ(signed_pow(-8.0f, 1.0f / 3.0f), -2.0f);
    EXPECT_FLOAT_EQ(signed_pow(8.0f, 1.0f / 3.0f), 2.0f);
    EXPECT_EQ(signed_pow(0.0f, -1.0f), 0.0f);
    EXPECT_EQ(signed_pow(0.0f, 0.0f), 0.0f);
}

TEST(ScalarTest, TiesAndExtremes) {
    // Equal arguments: r_max gives the first, r_min the second.
    EXPECT_TRUE(std::signbit(r_max(-0.0f, 0.0f)));
    EXPECT_FALSE(std::signbit(r_min(-0.0f, 0.0f)));
    EXPECT_EQ(r_max(1.0f, std::nanf("")), 1.0f);
    EXPECT_EQ(i_max(3, 3), 3);
    EXPECT_EQ(i_abs(-4), 4);
    EXPECT_FLOAT_EQ(r_logb(10.0f, 1000.0f), 3.0f);
    EXPECT_EQ(r_abs(-3.0f), 3.0f);
}

TEST(ArrayReductionTest, EmptyArraysGiveZero) {
    const float one = 5.0f;
    EXPECT_EQ(ra_sum(&one, 0), 0.0f);
    EXPECT_EQ(ra_avg(&one, 0), 0.0f);
    EXPECT_EQ(ra_avg(&one, -3), 0.0f);
    EXPECT_EQ(ra_energy(&one, 0), 0.0f);
    EXPECT_EQ(ra_max(&one, 0), 5.0f);  // reads values[0] whatever the count
}

TEST(ArrayReductionTest, Reductions) {
    const float v[] = {1.0f, -4.0f, 2.0f, 3.0f};
    EXPECT_EQ(ra_sum(v, 4), 2.0f);
    EXPECT_EQ(ra_avg(v, 4), 0.5f);
    EXPECT_EQ(ra_max(v, 4), 3.0f);
    EXPECT_EQ(ra_energy(v, 4), 30.0f);
}

TEST(ArrayReductionTest, Amplitude) {
    const float one = 5.0f;
    EXPECT_EQ(ra_amplitude(&one, 0), 0.0f);
    const float v[] = {1.0f, -4.0f, 2.0f, 3.0f};
    EXPECT_EQ(ra_amplitude(v, 4), 10.0f);
}

// The magnitudes may be taken several at a time; the sum must still be
// sqrt(x²) added in index order, bit for bit, tiny, huge and NaN values too.
TEST(ArrayReductionTest, AmplitudeIsTheIndexOrderSumOfSquareRootedSquares) {
    SeededRng rng(dsp_test::kSeed);
    std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-70, 70);
    for (int count = 0; count < 70; ++count) {
        std::vector<float> v(count);
        for (float& x : v) x = std::ldexp(mantissa(rng), exponent(rng));
        if (count > 5 && count % 7 == 0) v[count / 2] = std::numeric_limits<float>::quiet_NaN();
        float expected = 0.0f;
        for (float x : v) expected += std::sqrt(x * x);
        const float got = ra_amplitude(v.data(), count);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(got)) << count;
        } else {
            EXPECT_EQ(got, expected) << count;
        }
    }
}

TEST(ComplexTest, ProductsAndInPlaceSquaring) {
    float d[2] = {1.0f, 2.0f};
    c_mulequ_c(d, d);  // (1 + 2j)² = −3 + 4j
    EXPECT_EQ(d[0], -3.0f);
    EXPECT_EQ(d[1], 4.0f);
    const float a[2] = {3.0f, -1.0f}, b[2] = {2.0f, 5.0f};
    float e[2];
    c_equ_c_mul_c(e, a, b);  // (3 − j)(2 + 5j) = 11 + 13j
    EXPECT_EQ(e[0], 11.0f);
    EXPECT_EQ(e[1], 13.0f);
    c_addequ_c_mul_c(e, a, b);
    EXPECT_EQ(e[0], 22.0f);
    EXPECT_EQ(e[1], 26.0f);
    EXPECT_EQ(c_abs(a + 0), std::sqrt(10.0f));
}

TEST(ComplexTest, OddRadixHelpers) {
    float d[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float a[4] = {2.0f, 3.0f, 4.0f, 5.0f}, w[2] = {0.5f, -2.0f};
    cc_equ_cc_mul_rr(d, a, w);
    EXPECT_EQ(d[0], 2.0f);
    EXPECT_EQ(d[1], 2.5f);
    EXPECT_EQ(d[2], -7.0f);
    EXPECT_EQ(d[3], -9.0f);
    const float x0[2] = {1.0f, 2.0f}, t[4] = {10.0f, 20.0f, 3.0f, 4.0f};
    float o1[2], o2[2];
    ifft_odd_aux(o1, o2, x0, t);
    EXPECT_EQ(o1[0], 12.0f);
    EXPECT_EQ(o1[1], 22.0f);
    EXPECT_EQ(o2[0], 8.0f);
    EXPECT_EQ(o2[1], 18.0f);
}

}  // namespace

}  // namespace x91
