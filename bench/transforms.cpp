// Timings of the transforms that cost most per block: the 1764-point FFT, the
// long MDCST pair and the 56-value sine transform.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dsp/block_transforms.h"
#include "dsp/fft.h"
#include "dsp/mdcst.h"

#ifdef X91_BENCH_WITH_FFTW
#include <fftw3.h>
#endif

namespace x91 {

namespace {

std::vector<float> noise(std::size_t n) {
    std::mt19937 rng(91);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& x : v) x = d(rng);
    return v;
}

void BM_ifft_1764(benchmark::State& state) {
    const auto in = noise(2 * 1764);
    std::vector<float> out(in.size());
    for (auto _ : state) {
        ifft_1764_dd(in.data(), out.data(), 1, 1);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ifft_1764);

void BM_fft_1764(benchmark::State& state) {
    const auto in = noise(2 * 1764);
    std::vector<float> out(in.size());
    for (auto _ : state) {
        fft_1764_dd(in.data(), out.data(), 1, 1);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_fft_1764);

void BM_mdcst_pair_1764(benchmark::State& state) {
    const auto x = noise(2 * 1764);
    std::vector<float> a(2 * 882), b(2 * 882), y(2 * 1764);
    for (auto _ : state) {
        stereo_mdcst_1764(x.data(), a.data(), b.data());
        stereo_imdcst_1764(a.data(), b.data(), y.data());
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_mdcst_pair_1764);

void BM_hvst56(benchmark::State& state) {
    const auto a = noise(56), b = noise(56);
    std::vector<float> ta(56), tb(56);
    for (auto _ : state) {
        hvst56(a.data(), b.data(), ta.data(), tb.data());
        benchmark::DoNotOptimize(ta.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_hvst56);

#ifdef X91_BENCH_WITH_FFTW
void BM_fftw_1764(benchmark::State& state) {
    fftwf_complex* in = fftwf_alloc_complex(1764);
    fftwf_complex* out = fftwf_alloc_complex(1764);
    fftwf_plan plan = fftwf_plan_dft_1d(1764, in, out, FFTW_FORWARD, FFTW_MEASURE);
    const auto x = noise(2 * 1764);
    for (int i = 0; i < 1764; ++i) {
        in[i][0] = x[static_cast<std::size_t>(2 * i)];
        in[i][1] = x[static_cast<std::size_t>(2 * i + 1)];
    }
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
}
BENCHMARK(BM_fftw_1764);
#endif

// Console output plus a record of each benchmark's CPU time per iteration, for
// the ratio printed at the end (CPU time, because the wall clock of a shared
// machine counts other processes too).
class RecordingReporter final : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration) times[r.benchmark_name()] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

}  // namespace x91

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    x91::da_fft_init();
    x91::RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto ours = reporter.times.find("BM_ifft_1764");
    const auto fftw = reporter.times.find("BM_fftw_1764");
    if (ours != reporter.times.end() && fftw != reporter.times.end() && fftw->second > 0.0)
        std::printf("1764-point transform, x91 CPU time / FFTW CPU time: %.2f\n",
                    ours->second / fftw->second);
    else
        std::printf("no FFTW comparison in this run\n");
    x91::da_fft_finit();
    benchmark::Shutdown();
    return 0;
}
