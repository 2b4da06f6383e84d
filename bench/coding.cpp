// Packets per second through the coders: one group of 16 frames (three
// index matrices and 32 spectra of 800 lines) coded, then decoded.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "format/checked_settings.h"
#include "format/settings.h"
#include "graphs/packet_layout.h"

namespace x91 {

namespace {

constexpr int kFrames = 16, kLines = 800;

const PacketLayout& default_layout() {
    static const PacketLayout layout = [] {
        std::optional<CheckedSettings> checked;
        if (!check_settings({da_CodeFeatures{}, ds, is}, checked).ok()) std::abort();
        return PacketLayout(*checked);
    }();
    return layout;
}

// Quantised spectra are mostly small with a Laplacian spread and a few loud
// tonal peaks; envelopes drift slowly from frame to frame.
PacketGroup realistic_group() {
    std::mt19937 rng(7);
    PacketGroup g;
    std::uniform_int_distribution<int> step(-1, 1), any32(0, 31), line(0, kLines - 1);
    std::vector<int> env(32);
    for (int& x : env) x = any32(rng);
    for (int f = 0; f < kFrames; ++f) {
        for (int& x : env) x = (x + step(rng) + 32) % 32;
        g.matrices[0].push_back(env);
        std::vector<int> balance(12);
        for (int& x : balance) x = (16 + step(rng) + 32) % 32;
        g.matrices[1].push_back(balance);
        std::vector<int> flags(28);
        for (int& x : flags) x = std::uniform_int_distribution<int>(0, 9)(rng) == 0;
        g.matrices[2].push_back(flags);
    }
    std::exponential_distribution<double> magnitude(1.0 / 1.5);
    for (int s = 0; s < 2 * kFrames; ++s) {
        std::vector<int> spectrum(kLines);
        for (int& x : spectrum) x = static_cast<int>(magnitude(rng)) * (rng() & 1 ? -1 : 1);
        for (int peak = 0; peak < 4; ++peak)
            spectrum[line(rng)] = std::uniform_int_distribution<int>(-300, 300)(rng);
        g.spectra.push_back(spectrum);
    }
    return g;
}

// A packet as the encoder's creator makes it.
std::unique_ptr<da_BinRWBase> empty_packet() {
    const int bytes = es.packet_creator.packet_bytes;
    return std::make_unique<da_BinRWBase>(new unsigned char[bytes], bytes, true);
}

void BM_EncodeGroup(benchmark::State& state) {
    const PacketGroup g = realistic_group();
    int bytes = 0;
    for (auto _ : state) bytes = write_group(default_layout(), g, empty_packet())->bytes();
    state.SetItemsProcessed(state.iterations());
    state.counters["packet_bytes"] = bytes;
    state.counters["packets_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeGroup);

void BM_DecodeGroup(benchmark::State& state) {
    const auto encoded = write_group(default_layout(), realistic_group(), empty_packet());
    const int n = encoded->bytes();
    for (auto _ : state) {
        auto* bytes = new unsigned char[n];
        std::copy(encoded->data(), encoded->data() + n, bytes);
        auto packet = std::make_unique<da_BinRWBase>(bytes, n, true);
        benchmark::DoNotOptimize(read_group(default_layout(), packet));
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["packet_bytes"] = n;
    state.counters["packets_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeGroup);

}  // namespace

}  // namespace x91

BENCHMARK_MAIN();
