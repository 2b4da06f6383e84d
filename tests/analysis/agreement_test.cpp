// The decoder rebuilds the intensity envelope, the side-stereo map and the
// masking curve from transmitted integers alone; they must equal what the
// encoder used, bit for bit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "analysis/intensity.h"
#include "analysis/masking.h"
#include "analysis/side_stereo.h"
#include "format/settings.h"
#include "support/module_harness.h"
#include "support/test_seed.h"

namespace x91 {

namespace {

// IEC -> SMC -> MEE as both graphs wire them.
struct DerivedChain {
    explicit DerivedChain(const da_DSettings& d, const da_ISettings& i)
        : tables(d.global, d.intensity),
          iec(d.global, d.intensity, tables),
          smc(d.global, d.side_stereo),
          mee(d.global, i.masking) {
        iec.input = indices;
        iec.output1 = index_pass;
        iec.output2 = envelopes;
        smc.input = envelopes;
        smc.output1 = to_mee;
        smc.output2 = maps;
        mee.input = to_mee;
        mee.output1 = envelope_pass;
        mee.output2 = curves;
    }
    void work() {
        iec.work();
        smc.work();
        mee.work();
    }
    da_IntensityTables tables;
    da_IntensityEnvCreation iec;
    da_StereoMapCreator smc;
    da_MaskingEffectEvolve mee;
    DataQueue<int> indices{4}, index_pass{4};
    DataQueue<float> envelopes{4}, to_mee{4}, maps{4}, envelope_pass{4}, curves{4};
};

template <typename T>
void expect_same(DataQueue<T>& a, DataQueue<T>& b, int n, const char* what) {
    ASSERT_EQ(a.queued(), b.queued()) << what;
    ASSERT_GT(a.queued(), 0) << what;
    while (a.queued() > 0) {
        const auto x = take_item<T>(a, n);
        const auto y = take_item<T>(b, n);
        EXPECT_EQ(std::memcmp(x.data(), y.data(), n * sizeof(T)), 0) << what;
    }
}

TEST(EncoderDecoderAgreementTest, EnvelopeMapAndCurveAreBitIdentical) {
    SeededRng rng(2024);
    std::normal_distribution<float> g(0.0f, 1.0f);

    // Encoder side: measured indices from random spectra with a spectral tilt.
    da_IntensityTables tables(ds.global, ds.intensity);
    da_IntensityMeasure im(ds.global, ds.intensity, tables);
    DataQueue<float> in(4), spectra(4);
    DataQueue<int> measured(4);
    im.input = in;
    im.output1 = spectra;
    im.output2 = measured;
    DerivedChain encoder(ds, is), decoder(ds, is);

    for (int frame = 0; frame < 6; ++frame) {
        for (int ch = 0; ch < 2; ++ch) {
            std::vector<float> s(1600);
            const float loudness = std::pow(10.0f, -0.5f * static_cast<float>(frame));
            for (int i = 0; i < 800; ++i) {
                s[2 * i] = loudness * g(rng) / (1.0f + 0.01f * i);
                s[2 * i + 1] = loudness * g(rng) / (1.0f + 0.01f * i);
            }
            in.put_data(make_spectrum(s, 800));
        }
        im.work();
        spectra.get_data();
        spectra.get_data();
        const auto idx = take_item<int>(measured, 32);
        encoder.indices.put_data(make_item(idx));
        decoder.indices.put_data(make_item(idx));
        encoder.work();
        decoder.work();
    }
    ASSERT_EQ(encoder.curves.queued(), 5);
    expect_same<int>(encoder.index_pass, decoder.index_pass, 32, "indices");
    expect_same<float>(encoder.maps, decoder.maps, 800, "map");
    expect_same<float>(encoder.curves, decoder.curves, 800, "curve");
    expect_same<float>(encoder.envelope_pass, decoder.envelope_pass, 800, "envelope");
}

}  // namespace

}  // namespace x91
