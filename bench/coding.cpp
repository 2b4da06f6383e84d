// Packets per second through the coder chain: one group of 16 frames (three
// index matrices and 32 spectra of 800 lines) coded, then decoded.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "coding/coefficient_coders.h"
#include "framework/typed_queues.h"

namespace x91 {

namespace {

constexpr int kFrames = 16, kLines = 800;
const da_DGroupCodingSetup kGroup{kFrames};
const da_DGlobalSettings kGlobal{kLines};
const da_ArraySetup kIntensity{32, 32}, kBalance{12, 32}, kFlags{28, 2};

struct Group {
    std::vector<std::vector<int>> intensity, balance, flags, spectra;
};

// Quantised spectra are mostly small with a Laplacian spread and a few loud
// tonal peaks; envelopes drift slowly from frame to frame.
Group realistic_group() {
    std::mt19937 rng(7);
    Group g;
    std::uniform_int_distribution<int> step(-1, 1), any32(0, 31), line(0, kLines - 1);
    std::vector<int> env(32);
    for (int& x : env) x = any32(rng);
    for (int f = 0; f < kFrames; ++f) {
        for (int& x : env) x = (x + step(rng) + 32) % 32;
        g.intensity.push_back(env);
        std::vector<int> balance(12);
        for (int& x : balance) x = (16 + step(rng) + 32) % 32;
        g.balance.push_back(balance);
        std::vector<int> flags(28);
        for (int& x : flags) x = std::uniform_int_distribution<int>(0, 9)(rng) == 0;
        g.flags.push_back(flags);
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

void put_rows(DataQueue<int>& q, const std::vector<std::vector<int>>& rows) {
    for (const auto& row : rows) {
        auto item = item_alloc<int>(row.size());
        std::copy(row.begin(), row.end(), item.get());
        q.put_data(std::move(item));
    }
}

void drain(DataQueue<int>& q) {
    while (q.queued() > 0) q.get_data();
}

struct Encoders {
    DataQueue<da_BinRWBase> empty, p1, p2, p3, done;
    DataQueue<int> rows1{16}, rows2{16}, rows3{16}, spectra{64};
    DiscardQueue discard{128};
    da_PacketCreator pc{da_EPacketCreatorSetup{102400, 4}};
    da_ArrayEncoder ae1{kGroup, kIntensity}, ae2{kGroup, kBalance}, ae3{kGroup, kFlags};
    da_QSpecsEncoder qse{kGlobal, kGroup};

    Encoders() {
        pc.output = empty;
        ae1.packet_input = empty, ae1.row_input = rows1, ae1.row_output = discard;
        ae1.packet_output = p1;
        ae2.packet_input = p1, ae2.row_input = rows2, ae2.row_output = discard;
        ae2.packet_output = p2;
        ae3.packet_input = p2, ae3.row_input = rows3, ae3.row_output = discard;
        ae3.packet_output = p3;
        qse.packet_input = p3, qse.array_input = spectra, qse.array_output = discard;
        qse.packet_output = done;
    }

    std::unique_ptr<da_BinRWBase> encode(const Group& g) {
        put_rows(rows1, g.intensity);
        put_rows(rows2, g.balance);
        put_rows(rows3, g.flags);
        put_rows(spectra, g.spectra);
        pc.work();
        ae1.work();
        ae2.work();
        ae3.work();
        qse.work();
        discard.drain();
        return done.get_data();
    }
};

struct Decoders {
    DataQueue<da_BinRWBase> in, p1, p2, p3, done;
    DataQueue<int> rows1{16}, rows2{16}, rows3{16}, spectra{64};
    da_ArrayDecoder ad1{kGroup, kIntensity}, ad2{kGroup, kBalance}, ad3{kGroup, kFlags};
    da_QSpecsDecoder qsd{kGlobal, kGroup};

    Decoders() {
        ad1.packet_input = in, ad1.row_output = rows1, ad1.packet_output = p1;
        ad2.packet_input = p1, ad2.row_output = rows2, ad2.packet_output = p2;
        ad3.packet_input = p2, ad3.row_output = rows3, ad3.packet_output = p3;
        qsd.packet_input = p3, qsd.array_output = spectra, qsd.packet_output = done;
    }

    void decode(std::unique_ptr<da_BinRWBase> packet) {
        in.put_data(std::move(packet));
        ad1.work();
        ad2.work();
        ad3.work();
        qsd.work();
        drain(rows1);
        drain(rows2);
        drain(rows3);
        drain(spectra);
    }
};

void BM_EncodeGroup(benchmark::State& state) {
    const Group g = realistic_group();
    Encoders e;
    int bytes = 0;
    for (auto _ : state) bytes = e.encode(g)->bytes();
    state.SetItemsProcessed(state.iterations());
    state.counters["packet_bytes"] = bytes;
    state.counters["packets_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeGroup);

void BM_DecodeGroup(benchmark::State& state) {
    const Group g = realistic_group();
    Encoders e;
    const auto encoded = e.encode(g);
    const int n = encoded->bytes();
    Decoders d;
    for (auto _ : state) {
        auto* bytes = new unsigned char[n];
        std::copy(encoded->data(), encoded->data() + n, bytes);
        d.decode(std::make_unique<da_BinRWBase>(bytes, n, true));
        d.done.get_data();
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
