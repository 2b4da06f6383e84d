// The decoder's analysis and dequantisation modules must survive any header
// within the accepted bounds and any integers a damaged packet can hold: the
// audio may be wrong, but nothing may crash or hit undefined behaviour.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "analysis/intensity.h"
#include "analysis/masking.h"
#include "analysis/side_stereo.h"
#include "quant/quantizers.h"
#include "support/module_harness.h"
#include "support/test_seed.h"

namespace x91 {

namespace {

struct Header {
    da_DSettings d;
    da_ISettings i;
};

int pick(std::mt19937& rng, int lo, int hi) {
    // Ends of the range are the interesting cases: choose them half the time.
    switch (rng() % 4) {
        case 0:
            return lo;
        case 1:
            return hi;
        default:
            return std::uniform_int_distribution<int>(lo, hi)(rng);
    }
}

float pick_positive(std::mt19937& rng, float hi) {
    const float choices[] = {std::numeric_limits<float>::denorm_min(), 1e-30f, 0.5f, hi};
    return choices[rng() % 4];
}

Header random_header(std::mt19937& rng) {
    Header h{};
    const int lines = pick(rng, 56, 1764);
    h.d.global.lines = lines;
    h.d.intensity = {pick(rng, 1, lines - 1), pick(rng, 2, 1024), pick(rng, 1, 600)};
    h.d.side_stereo = {pick(rng, 1, lines - 1), pick(rng, 2, 1024)};
    h.d.group.frames = 16;
    const float scales[] = {std::numeric_limits<float>::denorm_min(), 0.2f, 1e30f,
                            std::numeric_limits<float>::max()};
    h.i.masking = {scales[rng() % 4], pick_positive(rng, 1.0f), pick_positive(rng, 1.0f), 0, 0, 0};
    const float bases[] = {std::nextafter(1.0f, 2.0f), 1.1f, 2.59f, 1000.0f};
    h.i.quantize.base = bases[rng() % 4];
    return h;
}

int hostile_int(std::mt19937& rng, int sane_hi) {
    switch (rng() % 5) {
        case 0:
            return static_cast<int>(rng());
        case 1:
            return (rng() % 2) ? INT_MAX : INT_MIN;
        case 2:
            return (rng() % 2) ? (1 << 30) : -(1 << 30);
        default:
            return std::uniform_int_distribution<int>(0, sane_hi)(rng);
    }
}

std::vector<int> hostile_array(std::mt19937& rng, int n, int sane_hi) {
    std::vector<int> a(n);
    for (int& x : a) x = hostile_int(rng, sane_hi);
    return a;
}

// The decoder graph's analysis and dequantisation, without the packet
// readers and the real-to-complex step (done here by hand).
struct DecoderChain {
    explicit DecoderChain(const Header& h)
        : d(h.d),
          i(h.i),
          tables(d.global, d.intensity),
          iec(d.global, d.intensity, tables),
          smc(d.global, d.side_stereo),
          mee(d.global, i.masking),
          dq(d.global, i.quantize),
          sst(d.global, d.side_stereo, -1, 2) {
        iec.input = intensity;
        iec.output1 = discard;
        iec.output2 = envelopes;
        smc.input = envelopes;
        smc.output1 = to_mee;
        smc.output2 = maps;
        mee.input = to_mee;
        mee.output1 = discard;
        mee.output2 = curves;
        dq.flag_input = flags;
        dq.flag_output = discard;
        dq.index_input = spectral;
        dq.index_output = discard;
        dq.curve_input = curves;
        dq.curve_output = discard;
        dq.spectrum_output = real_spectra;
        sst.input1 = complex_spectra;
        sst.input2 = maps;
        sst.input3 = balances;
        sst.output1 = out;
        sst.output2 = discard;
        sst.output3 = discard;
    }

    void frame(std::mt19937& rng) {
        const int n = d.global.lines;
        intensity.put_data(make_item(hostile_array(rng, d.intensity.bands, d.intensity.steps - 1)));
        balances.put_data(
            make_item(hostile_array(rng, d.side_stereo.bands, d.side_stereo.levels - 1)));
        spectral.put_data(make_item(hostile_array(rng, n, 40)));
        spectral.put_data(make_item(hostile_array(rng, n, 40)));
        flags.put_data(make_item(hostile_array(rng, dq.rots_as().cols, 1)));
        iec.work();
        smc.work();
        mee.work();
        dq.work();
        while (real_spectra.queued() > 0) {
            const auto real = real_spectra.get_data();
            std::vector<float> c(2 * n, 0.0f);
            for (int k = 0; k < n; ++k) c[2 * k] = real[k];
            complex_spectra.put_data(make_spectrum(c, n));
        }
        sst.work();
        discard.drain();
        while (out.queued() > 0) {
            out.get_data();
            ++spectra_out;
        }
    }

    da_DSettings d;
    da_ISettings i;
    da_IntensityTables tables;
    da_IntensityEnvCreation iec;
    da_StereoMapCreator smc;
    da_MaskingEffectEvolve mee;
    da_DeQuantizator dq;
    da_StereoSideTransform sst;
    DataQueue<int> intensity{4}, flags{4}, spectral{4}, balances{4};
    DataQueue<float> envelopes{4}, to_mee{4}, maps{4}, curves{4}, real_spectra{4},
        complex_spectra{4}, out{4};
    DiscardQueue discard{16};
    int spectra_out = 0;
};

TEST(DecoderRobustnessTest, AnyHeaderInBoundsAndAnyIntegers) {
    SeededRng rng(424242);
    for (int trial = 0; trial < 40; ++trial) {
        const Header h = random_header(rng);
        SCOPED_TRACE(::testing::Message()
                     << "trial " << trial << " lines " << h.d.global.lines << " bands "
                     << h.d.intensity.bands << "/" << h.d.side_stereo.bands);
        DecoderChain chain(h);
        for (int f = 0; f < 3; ++f) chain.frame(rng);
        // The curve lags one frame: three frames give two decoded pairs.
        EXPECT_EQ(chain.spectra_out, 4);
    }
}

}  // namespace

}  // namespace x91
