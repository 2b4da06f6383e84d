#include "quant/quantizers.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "dsp/block_transforms.h"
#include "dsp/numeric.h"
#include "dsp/spectrum_converters.h"
#include "format/settings.h"
#include "quant/cpu_variants.h"
#include "support/module_harness.h"
#include "support/test_seed.h"

namespace x91 {

namespace {

struct QuantizatorRig {
    explicit QuantizatorRig(int lines) : qz({lines}, is.quantize, es.quantize), n(lines) {
        qz.curve_input = curves;
        qz.curve_output = curve_pass;
        qz.spectrum_input = spectra;
        qz.spectrum_output = spectrum_pass;
        qz.index_output = indices;
        qz.flag_output = flags;
    }
    da_Quantizator qz;
    int n;
    DataQueue<float> curves{4}, curve_pass{4}, spectra{4}, spectrum_pass{4};
    DataQueue<int> indices{4}, flags{4};
};

struct DeQuantizatorRig {
    DeQuantizatorRig(int lines, float base, DequantisedForm form = DequantisedForm::real_lines)
        : dq({lines}, {base}, form), n(lines) {
        dq.flag_input = flags;
        dq.flag_output = flag_pass;
        dq.index_input = indices;
        dq.index_output = index_pass;
        dq.curve_input = curves;
        dq.curve_output = curve_pass;
        dq.spectrum_output = spectra;
    }
    explicit DeQuantizatorRig(int lines) : DeQuantizatorRig(lines, is.quantize.base) {}
    void put(const std::vector<int>& left, const std::vector<int>& right,
             const std::vector<float>& curve, const std::vector<int>& flag) {
        indices.put_data(make_item(left));
        indices.put_data(make_item(right));
        curves.put_data(make_item(curve));
        flags.put_data(make_item(flag));
    }
    da_DeQuantizator dq;
    int n;
    DataQueue<int> flags{4}, flag_pass{4}, indices{4}, index_pass{4};
    DataQueue<float> curves{4}, curve_pass{4}, spectra{4};
};

TEST(QuantizerLayoutTest, FlagArraySetup) {
    EXPECT_EQ(QuantizatorRig(800).qz.rots_as().cols, 28);
    EXPECT_EQ(QuantizatorRig(800).qz.rots_as().modulus, 2);
    EXPECT_EQ(DeQuantizatorRig(800).dq.rots_as().cols, 28);
    EXPECT_EQ(DeQuantizatorRig(56).dq.rots_as().cols, 2);
    EXPECT_EQ(DeQuantizatorRig(1764).dq.rots_as().cols, 62);
}

// With all flags 0 the decoder's output is the levels, inverse-rotated at the
// block boundaries, times the curve: the rotations must sit exactly at
// 28 + 56·k for every k with 28 + 56·k + 56 <= n.
// The block sums are taken eight blocks side by side; each must be the sum of
// its block alone, also where squares overflow or fall below float's range.
TEST(QuantizerLayoutTest, BlockAmplitudesAreEachBlocksSumOfMagnitudes) {
    SeededRng rng(56);
    std::uniform_real_distribution<float> exponent(-25.0f, 20.0f);
    for (const int count : {1, 8, 15}) {
        std::vector<float> lines(56 * count);
        for (float& x : lines) x = (rng() % 2 ? -1.0f : 1.0f) * std::pow(10.0f, exponent(rng));
        std::vector<const float*> blocks;
        for (int e = 0; e < count; ++e) blocks.push_back(lines.data() + 56 * e);
        std::vector<float> sums(count);
        quant_block_amplitudes(count, blocks.data(), sums.data());
        for (int e = 0; e < count; ++e)
            EXPECT_EQ(std::bit_cast<std::uint32_t>(sums[e]),
                      std::bit_cast<std::uint32_t>(ra_amplitude(blocks[e], 56)))
                << count << " " << e;
    }
}

TEST(DeQuantizatorTest, BoundaryRotationsWithoutBlockTransforms) {
    struct Case {
        int lines;
        std::vector<int> offsets;
    };
    std::vector<int> offsets800;
    for (int d = 28; d <= 700; d += 56) offsets800.push_back(d);
    ASSERT_EQ(offsets800.size(), 13u);
    const std::vector<Case> cases = {{56, {}},         {84, {28}},      {112, {28}},
                                     {140, {28, 84}},  {168, {28, 84}}, {196, {28, 84, 140}},
                                     {800, offsets800}};
    SeededRng rng(12);
    std::uniform_int_distribution<int> idx(-30, 30);
    for (const Case& c : cases) {
        DeQuantizatorRig rig(c.lines);
        std::vector<int> left(c.lines), right(c.lines);
        for (int& k : left) k = idx(rng);
        for (int& k : right) k = idx(rng);
        std::vector<float> curve(c.lines);
        for (int i = 0; i < c.lines; ++i) curve[i] = 0.5f + 0.001f * i;
        rig.put(left, right, curve, std::vector<int>(2 * (c.lines / 56), 0));
        rig.dq.work();
        ASSERT_EQ(rig.spectra.queued(), 2);
        const auto out_l = take_item<float>(rig.spectra, c.lines);
        const auto out_r = take_item<float>(rig.spectra, c.lines);

        std::vector<float> el(c.lines), er(c.lines);
        for (int i = 0; i < c.lines; ++i) {
            el[i] = log_dequant(left[i], is.quantize.base);
            er[i] = log_dequant(right[i], is.quantize.base);
        }
        for (int d : c.offsets) {
            ioverlap56(el.data() + d, el.data() + d);
            ioverlap56(er.data() + d, er.data() + d);
        }
        for (int i = 0; i < c.lines; ++i) {
            el[i] *= curve[i];
            er[i] *= curve[i];
        }
        EXPECT_EQ(out_l, el) << c.lines;
        EXPECT_EQ(out_r, er) << c.lines;
        EXPECT_EQ(rig.flag_pass.queued(), 1);
        EXPECT_EQ(rig.index_pass.queued(), 2);
        EXPECT_EQ(rig.curve_pass.queued(), 1);
    }
}

// The levels come from a table of the indices in use, eight lines at a time
// where the CPU allows: every index of the table, its edges, the indices
// beyond it and the extremes must give log_dequant's floats (infinite and NaN
// ones included, hence the bitwise comparison).
TEST(DeQuantizatorTest, LevelsOfEveryTableIndexAndBeyond) {
    const int n = 1764;
    DeQuantizatorRig rig(n);
    std::vector<int> left(n), right(n);
    for (int i = 0; i < n; ++i) {
        left[i] = -1100 + i;
        right[i] = 1100 - i;
    }
    left[5] = INT_MIN;
    right[1000] = INT_MAX;
    rig.put(left, right, std::vector<float>(n, 1.0f), std::vector<int>(2 * (n / 56), 0));
    rig.dq.work();
    const auto out_l = take_item<float>(rig.spectra, n);
    const auto out_r = take_item<float>(rig.spectra, n);
    std::vector<float> el(n), er(n);
    for (int i = 0; i < n; ++i) {
        el[i] = log_dequant(left[i], is.quantize.base);
        er[i] = log_dequant(right[i], is.quantize.base);
    }
    for (int d = 28; d + 56 <= n; d += 56) {
        ioverlap56(el.data() + d, el.data() + d);
        ioverlap56(er.data() + d, er.data() + d);
    }
    EXPECT_EQ(std::memcmp(out_l.data(), el.data(), n * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(out_r.data(), er.data(), n * sizeof(float)), 0);
}

// The complex form is the real one as da_RCSpecsTransform converts it, value
// for value, with blocks of a sine form on either side and none.
TEST(DeQuantizatorTest, ComplexFormIsTheConvertedRealForm) {
    SeededRng rng(27);
    std::uniform_int_distribution<int> idx(-40, 40), flag(0, 3);
    for (const int lines : {56, 84, 800, 1764}) {
        DeQuantizatorRig real(lines, is.quantize.base);
        DeQuantizatorRig complex(lines, is.quantize.base, DequantisedForm::complex_lines);
        std::vector<int> left(lines), right(lines), flags(2 * (lines / 56));
        for (int& k : left) k = idx(rng);
        for (int& k : right) k = idx(rng);
        for (int& f : flags) f = flag(rng) == 0;
        std::vector<float> curve(lines);
        for (int i = 0; i < lines; ++i) curve[i] = 0.25f + 0.003f * i;
        for (DeQuantizatorRig* rig : {&real, &complex}) {
            rig->put(left, right, curve, flags);
            rig->dq.work();
        }
        DataQueue<float> converted(4), discard(4);
        da_RCSpecsTransform rcs(da_DGlobalSettings{lines});
        rcs.input = real.spectra;
        rcs.output1 = discard;
        rcs.output2 = converted;
        rcs.work();
        for (int channel = 0; channel < 2; ++channel) {
            const auto expected = take_item<float>(converted, 2 * lines);
            const auto got = take_item<float>(complex.spectra, 2 * lines);
            EXPECT_EQ(std::memcmp(got.data(), expected.data(), 2 * lines * sizeof(float)), 0)
                << lines << " lines, channel " << channel;
        }
    }
}

// Frames queued together share their blocks' transforms in batches: each
// frame must come out as it does alone, whether few or many of its blocks
// have a sine form (so that batches fill up, overflow, or hold many frames).
TEST(DeQuantizatorTest, FramesTakenTogetherComeOutAsAlone) {
    SeededRng rng(2727);
    std::uniform_int_distribution<int> idx(-40, 40), percent(0, 99);
    for (const int lines : {84, 882}) {
        for (const int sine_percent : {0, 5, 30, 100}) {
            DeQuantizatorRig together(lines), alone(lines);
            std::vector<std::vector<float>> expected;
            const int frames = 20;  // more than a batch holds
            for (int f = 0; f < frames; ++f) {
                std::vector<int> left(lines), right(lines), flags(2 * (lines / 56));
                for (int& k : left) k = idx(rng);
                for (int& k : right) k = idx(rng);
                for (int& x : flags) x = percent(rng) < sine_percent;
                std::vector<float> curve(lines);
                for (int i = 0; i < lines; ++i) curve[i] = 0.5f + 0.002f * i + 0.01f * f;
                together.put(left, right, curve, flags);
                alone.put(left, right, curve, flags);
                alone.dq.work();
                expected.push_back(take_item<float>(alone.spectra, lines));
                expected.push_back(take_item<float>(alone.spectra, lines));
            }
            together.dq.work();
            ASSERT_EQ(together.spectra.queued(), 2 * frames);
            for (std::size_t j = 0; j < expected.size(); ++j)
                EXPECT_EQ(take_item<float>(together.spectra, lines), expected[j])
                    << lines << " lines, " << sine_percent << "% sine blocks, spectrum " << j;
            EXPECT_EQ(together.flag_pass.queued(), frames);
            EXPECT_EQ(together.curve_pass.queued(), frames);
        }
    }
}

class QuantizeRoundTripTest : public ::testing::Test {
  protected:
    // One frame of noisy, partly tonal spectra and a smooth curve.
    void make_frame(std::mt19937& rng) {
        std::normal_distribution<float> g(0.0f, 1.0f);
        left.assign(n, 0.0f);
        right.assign(n, 0.0f);
        curve.assign(n, 0.0f);
        for (int i = 0; i < n; ++i) {
            curve[i] = 0.01f * (1.0f + 0.5f * std::sin(0.01f * i));
            left[i] = curve[i] * (20.0f * g(rng) + 200.0f * std::sin(0.9f * i));
            right[i] = curve[i] * 5.0f * g(rng);
        }
    }
    const int n = 800;
    std::vector<float> left, right, curve;
};

TEST_F(QuantizeRoundTripTest, DecoderRebuildsTheEncodersLevels) {
    SeededRng rng(8080);
    const float b = is.quantize.base;
    QuantizatorRig enc(n);
    DeQuantizatorRig dec(n);
    int flagged = 0;
    for (int frame = 0; frame < 4; ++frame) {
        make_frame(rng);
        enc.curves.put_data(make_item(curve));
        enc.spectra.put_data(make_item(left));
        enc.spectra.put_data(make_item(right));
        enc.qz.work();
        ASSERT_EQ(enc.curve_pass.queued(), 1);
        ASSERT_EQ(enc.spectrum_pass.queued(), 2);
        ASSERT_EQ(enc.indices.queued(), 2);
        ASSERT_EQ(enc.flags.queued(), 1);
        enc.curve_pass.get_data();
        enc.spectrum_pass.get_data();
        enc.spectrum_pass.get_data();
        const auto index_l = take_item<int>(enc.indices, n);
        const auto index_r = take_item<int>(enc.indices, n);
        const auto flags = take_item<int>(enc.flags, 28);
        // The levels the encoder sent.
        std::vector<float> level_l(n), level_r(n);
        for (int i = 0; i < n; ++i) {
            level_l[i] = log_dequant(index_l[i], b);
            level_r[i] = log_dequant(index_r[i], b);
        }
        for (int f : flags) {
            ASSERT_TRUE(f == 0 || f == 1);
            flagged += f;
        }

        dec.put(index_l, index_r, curve, flags);
        dec.dq.work();
        ASSERT_EQ(dec.spectra.queued(), 2);
        const auto out_l = take_item<float>(dec.spectra, n);
        const auto out_r = take_item<float>(dec.spectra, n);
        dec.flag_pass.get_data();
        dec.index_pass.get_data();
        dec.index_pass.get_data();
        dec.curve_pass.get_data();

        // The decoder undoes the encoder's steps on exactly those levels.
        float a[56], bb[56];
        for (int e = 0; e < n / 56; ++e) {
            if (flags[2 * e] + flags[2 * e + 1] == 0) continue;
            ihvst56(&level_l[56 * e], &level_r[56 * e], a, bb);
            if (flags[2 * e]) std::memcpy(&level_l[56 * e], a, sizeof a);
            if (flags[2 * e + 1]) std::memcpy(&level_r[56 * e], bb, sizeof bb);
        }
        for (int d = 28; d + 56 <= n; d += 56) {
            ioverlap56(&level_l[d], &level_l[d]);
            ioverlap56(&level_r[d], &level_r[d]);
        }
        double error = 0, energy = 0;
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(out_l[i], level_l[i] * curve[i]) << i;
            ASSERT_EQ(out_r[i], level_r[i] * curve[i]) << i;
            error += std::pow(out_l[i] - left[i], 2) + std::pow(out_r[i] - right[i], 2);
            energy += std::pow(left[i], 2) + std::pow(right[i], 2);
        }
        EXPECT_GT(10 * std::log10(energy / error), 25.0) << frame;
    }
    EXPECT_GT(flagged, 0);
}

TEST(QuantizatorTest, OneStepTakesOneCurveAndTwoSpectra) {
    QuantizatorRig rig(800);
    for (int k = 0; k < 2; ++k) rig.curves.put_data(make_item(std::vector<float>(800, 1.0f)));
    for (int k = 0; k < 3; ++k) rig.spectra.put_data(make_item(std::vector<float>(800, 0.25f)));
    rig.qz.work();
    EXPECT_EQ(rig.curves.queued(), 1);
    EXPECT_EQ(rig.spectra.queued(), 1);
    EXPECT_EQ(rig.indices.queued(), 2);
    EXPECT_EQ(rig.flags.queued(), 1);
    EXPECT_EQ(rig.curve_pass.queued(), 1);
    EXPECT_EQ(rig.spectrum_pass.queued(), 2);
}

TEST(QuantizatorTest, ZeroAndNonFiniteCurveValuesGiveDefinedIndices) {
    QuantizatorRig rig(800);
    std::vector<float> curve(800, 1.0f);
    curve[0] = 0.0f;
    curve[100] = std::numeric_limits<float>::infinity();
    curve[200] = std::numeric_limits<float>::quiet_NaN();
    rig.curves.put_data(make_item(curve));
    rig.spectra.put_data(make_item(std::vector<float>(800, 3.0f)));
    rig.spectra.put_data(make_item(std::vector<float>(800, -3.0f)));
    rig.qz.work();
    EXPECT_EQ(rig.indices.queued(), 2);
}

// A damaged stream may carry any int as index or flag and any float as a
// curve value; the decoder must keep going without undefined behaviour.
TEST(DeQuantizatorTest, HostileIndicesFlagsAndCurves) {
    SeededRng rng(666);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<int> specials = {1 << 30, -(1 << 30), INT_MAX, INT_MIN, 0,
                                       1,       -1,         1023,    1024,    -1024};
    const std::vector<float> curve_values = {inf, 0.0f, nan, -inf, 1e30f, 1e-30f, 1.0f};
    for (int lines : {56, 57, 83, 84, 140, 800, 1763, 1764}) {
        for (float base : {1.0000001f, 1.1f, 1000.0f}) {
            DeQuantizatorRig rig(lines, base);
            std::vector<int> l(lines), r(lines), flags(2 * (lines / 56));
            std::vector<float> curve(lines);
            for (int i = 0; i < lines; ++i) {
                l[i] = specials[rng() % specials.size()];
                r[i] = static_cast<int>(rng());
                curve[i] = curve_values[rng() % curve_values.size()];
            }
            for (int& f : flags) f = rng() % 3 ? specials[rng() % specials.size()] : 1;
            rig.put(l, r, curve, flags);
            rig.dq.work();
            ASSERT_EQ(rig.spectra.queued(), 2) << lines << " " << base;
        }
    }
}

}  // namespace

}  // namespace x91
