// Cost of the per-frame analysis: the slope-limited index table of the
// stereo map and the masking curve, which encoder and decoder share, and the
// encoder's band levels, on 800 lines shaped like music's (loud low lines, a
// quiet top).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "analysis/band_envelope.h"
#include "analysis/intensity.h"
#include "analysis/masking.h"
#include "format/settings.h"

namespace x91 {

namespace {

std::vector<float> music_like_envelope(int n) {
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = 1e-3f / (1.0f + 0.02f * i) * (1.5f + std::sin(0.05f * static_cast<float>(i)));
    return v;
}

void BM_IndexTableArange(benchmark::State& state) {
    const int n = ds.global.lines;
    const auto envelope = music_like_envelope(n);
    std::vector<float> scale(n), table(n);
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) scale[i] = sum = sum + std::sqrt(envelope[i]);
    for (auto _ : state) {
        table = scale;
        env_itable_arange(table.data(), n, ds.side_stereo.bands, 1.0f);
        benchmark::DoNotOptimize(table.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_IndexTableArange);

void BM_MaskingCurve(benchmark::State& state) {
    const da_MaskingEffectEvolve masking(ds.global, is.masking);
    const auto envelope = music_like_envelope(ds.global.lines);
    for (auto _ : state) benchmark::DoNotOptimize(masking.get_stat_mask(envelope.data()));
    state.SetItemsProcessed(state.iterations() * ds.global.lines);
}
BENCHMARK(BM_MaskingCurve);

// The intensity bands' levels of one frame: line magnitudes, then the band
// envelope refined four times.
void BM_BandLevels(benchmark::State& state) {
    const int n = ds.global.lines;
    const auto envelope = music_like_envelope(n);
    std::vector<float> left(2 * n), right(2 * n);
    for (int i = 0; i < n; ++i) {
        left[2 * i] = envelope[i];
        left[2 * i + 1] = 0.5f * envelope[i];
        right[2 * i] = 0.8f * envelope[i];
        right[2 * i + 1] = -0.3f * envelope[i];
    }
    const da_IntensityTables tables(ds.global, ds.intensity);
    IntensityEnvelopeMeter meter(ds.global, ds.intensity, tables);
    for (auto _ : state) {
        meter.measure(left.data(), right.data());
        benchmark::DoNotOptimize(meter.envelope().data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BandLevels);

}  // namespace

}  // namespace x91

BENCHMARK_MAIN();
