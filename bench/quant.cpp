// Cost of the coefficient quantiser: plain and precomputed log_quant per
// value, the array form, and one whole quantiser and dequantiser step on a
// frame of 800 lines.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "dsp/fft.h"
#include "format/settings.h"
#include "framework/typed_queues.h"
#include "quant/quantizers.h"
#include "quant/scalar_quantizers.h"

namespace x91 {

namespace {

// Coefficients divided by the masking curve: mostly below one level, a
// few far above.
std::vector<float> normalised_coefficients(int n) {
    std::mt19937 rng(1);
    std::normal_distribution<float> g(0.0f, 1.0f);
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i) v[i] = g(rng) * (i % 16 == 0 ? 40.0f : 0.8f);
    return v;
}

void BM_LogQuantPlain(benchmark::State& state) {
    const auto v = normalised_coefficients(800);
    for (auto _ : state) {
        int sum = 0;
        for (float x : v) sum += log_quant(x, 1.1f, 0.5f);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(v.size()));
}
BENCHMARK(BM_LogQuantPlain);

void BM_LogQuantFast(benchmark::State& state) {
    const auto v = normalised_coefficients(800);
    const da_LogQuantizer quantizer(1.1f, 0.5f);
    for (auto _ : state) {
        int sum = 0;
        for (float x : v) sum += quantizer(x);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(v.size()));
}
BENCHMARK(BM_LogQuantFast);

void BM_LogQuantArray(benchmark::State& state) {
    const auto v = normalised_coefficients(800);
    const da_LogQuantizer quantizer(1.1f, 0.5f);
    std::vector<int> index(v.size());
    for (auto _ : state) {
        quantizer.indices(v.data(), index.data(), static_cast<int>(v.size()));
        benchmark::DoNotOptimize(index.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(v.size()));
}
BENCHMARK(BM_LogQuantArray);

// Once per encoder: the constructor settles which inputs stay at level 0.
void BM_LogQuantizerSetup(benchmark::State& state) {
    for (auto _ : state) {
        const da_LogQuantizer quantizer(1.1f, 0.5f);
        benchmark::DoNotOptimize(quantizer(0.3f));
    }
}
BENCHMARK(BM_LogQuantizerSetup)->Unit(benchmark::kMillisecond);

void BM_QuantizatorStep(benchmark::State& state) {
    da_fft_init();
    {
        const int n = ds.global.lines;
        da_Quantizator qz(ds.global, is.quantize, es.quantize);
        DataQueue<float> curves(4), spectra(4);
        DataQueue<int> indices(4), flags(4);
        DiscardQueue discard(16);
        qz.curve_input = curves;
        qz.curve_output = discard;
        qz.spectrum_input = spectra;
        qz.spectrum_output = discard;
        qz.index_output = indices;
        qz.flag_output = flags;
        const auto coefficients = normalised_coefficients(n);
        std::vector<float> curve(n);
        for (int i = 0; i < n; ++i) curve[i] = 0.01f * (1.0f + 0.5f * std::sin(0.01f * i));
        std::vector<float> spectrum(n);
        for (int i = 0; i < n; ++i) spectrum[i] = coefficients[i] * curve[i];
        auto put = [n](DataQueue<float>& q, const std::vector<float>& values) {
            auto item = item_alloc<float>(n);
            std::memcpy(item.get(), values.data(), n * sizeof(float));
            q.put_data(std::move(item));
        };
        for (auto _ : state) {
            put(curves, curve);
            put(spectra, spectrum);
            put(spectra, spectrum);
            qz.work();
            discard.drain();
            while (indices.queued() > 0) indices.get_data();
            while (flags.queued() > 0) flags.get_data();
        }
    }
    da_fft_finit();
}
BENCHMARK(BM_QuantizatorStep)->Unit(benchmark::kMicrosecond);

// Levels from the table, sine forms on one block in ten, boundary rotations
// and the curve, for both channels of a frame.
void BM_DeQuantizatorStep(benchmark::State& state) {
    da_fft_init();
    {
        const int n = ds.global.lines;
        da_DeQuantizator dq(ds.global, is.quantize);
        DataQueue<int> flags(4), indices(4);
        DataQueue<float> curves(4);
        DiscardQueue discard(16);
        dq.flag_input = flags;
        dq.flag_output = discard;
        dq.index_input = indices;
        dq.index_output = discard;
        dq.curve_input = curves;
        dq.curve_output = discard;
        dq.spectrum_output = discard;
        const da_LogQuantizer quantizer(is.quantize.base, es.quantize.rounding_point);
        const auto coefficients = normalised_coefficients(n);
        std::vector<int> index(n);
        quantizer.indices(coefficients.data(), index.data(), n);
        for (auto _ : state) {
            auto flag = item_alloc<int>(2 * (n / 56));
            for (int e = 0; e < 2 * (n / 56); ++e) flag[e] = e % 10 == 0 ? 1 : 0;
            flags.put_data(std::move(flag));
            for (int channel = 0; channel < 2; ++channel) {
                auto item = item_alloc<int>(n);
                std::memcpy(item.get(), index.data(), n * sizeof(int));
                indices.put_data(std::move(item));
            }
            auto curve = item_alloc<float>(n);
            for (int i = 0; i < n; ++i) curve[i] = 0.01f;
            curves.put_data(std::move(curve));
            dq.work();
            discard.drain();
        }
    }
    da_fft_finit();
}
BENCHMARK(BM_DeQuantizatorStep)->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace x91

BENCHMARK_MAIN();
