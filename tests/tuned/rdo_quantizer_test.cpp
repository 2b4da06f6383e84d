#include "tuned/rdo_quantizer.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "coding/layered_codes.h"
#include "format/settings.h"
#include "support/coding_test_util.h"
#include "support/module_harness.h"

namespace x91 {

namespace {

using namespace coding_test;

constexpr int kLines = 800;
constexpr int kFrames = 6;

struct Frame {
    std::vector<float> curve, left, right;
};

// Spectra with a few strong lines over a noise floor, against a curve that
// varies from line to line, as the masking curve does.
std::vector<Frame> test_frames() {
    SeededRng rng(kSeed);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::uniform_real_distribution<float> curve_level(0.5f, 4.0f);
    std::vector<Frame> frames(kFrames);
    for (Frame& f : frames) {
        for (int i = 0; i < kLines; ++i) {
            const float c = curve_level(rng);
            f.curve.push_back(c);
            const float peak = i % 37 == 0 ? 30.0f : 1.0f;
            f.left.push_back(c * peak * 2.0f * noise(rng));
            f.right.push_back(c * 0.5f * noise(rng));
        }
    }
    return frames;
}

struct Outcome {
    double error = 0.0;  // squared error of the decode, in units of the curve
    long bits = 0;       // bits of the index arrays in the packet's code
};

// Quantises the frames with `quantizer`, decodes its indices and flags with
// the decoder's dequantiser, and measures what the decode costs and misses.
template <typename Quantizer>
Outcome quantise_and_decode(Quantizer& quantizer, const std::vector<Frame>& frames) {
    DataQueue<float> curves, curve_pass, spectra, spectrum_pass, decoded, curve_pass2;
    DataQueue<int> indices, flags, index_pass, flag_pass;
    quantizer.curve_input = curves;
    quantizer.curve_output = curve_pass;
    quantizer.spectrum_input = spectra;
    quantizer.spectrum_output = spectrum_pass;
    quantizer.index_output = indices;
    quantizer.flag_output = flags;
    da_DeQuantizator dq({kLines}, is.quantize);
    dq.flag_input = flags;
    dq.flag_output = flag_pass;
    dq.index_input = indices;
    dq.index_output = index_pass;
    dq.curve_input = curves;
    dq.curve_output = curve_pass2;
    dq.spectrum_output = decoded;

    Outcome outcome;
    for (const Frame& f : frames) {
        curves.put_data(make_item(f.curve));
        spectra.put_data(make_item(f.left));
        spectra.put_data(make_item(f.right));
        quantizer.work();
        for (const std::vector<int>& index :
             {take_item(indices, kLines), take_item(indices, kLines)}) {
            auto p = scratch_packet(64);
            da_BinWriter w(*p);
            write_z_seq(w, index.data(), kLines);
            outcome.bits += p->possition();
            indices.put_data(make_item(index));
        }
        curves.put_data(make_item(f.curve));
        dq.work();
        for (const std::vector<float>* original : {&f.left, &f.right}) {
            const std::vector<float> out = take_item(decoded, kLines);
            for (int i = 0; i < kLines; ++i) {
                const double e = (out[i] - (*original)[i]) / f.curve[i];
                outcome.error += e * e;
            }
        }
    }
    return outcome;
}

// The decoder reads the tuned choices as the tuned quantiser meant them:
// without a price on bits it misses no more than the standard quantiser,
// and a higher price trades error for fewer bits, step by step.
TEST(RdoQuantizatorTest, TradesErrorForBitsAsThePriceRises) {
    const std::vector<Frame> frames = test_frames();
    da_Quantizator standard({kLines}, is.quantize, es.quantize);
    const Outcome reference = quantise_and_decode(standard, frames);

    Outcome previous{0.0, 1L << 40};
    for (float weight : {0.0f, 0.03f, 0.1f, 0.5f, 2.0f}) {
        SCOPED_TRACE(weight);
        da_RdoQuantizator tuned({kLines}, is.quantize, TunedEncoderSetup{weight});
        const Outcome o = quantise_and_decode(tuned, frames);
        if (weight == 0.0f) {
            EXPECT_LE(o.error, reference.error * 1.0001);
        }
        EXPECT_LT(o.bits, previous.bits);
        EXPECT_GE(o.error, previous.error);
        previous = o;
    }
}

}  // namespace

}  // namespace x91
