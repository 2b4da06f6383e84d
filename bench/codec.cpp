// Whole-codec speed: N seconds of generated stereo music through the encode
// chain, and the packets it made through the decode chain, all in memory.
// The rate counter "x_realtime" is seconds of audio per second of work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "dsp/fft.h"
#include "format/checked_settings.h"
#include "format/settings.h"
#include "graphs/decode_chain.h"
#include "graphs/encode_chain.h"
#include "music_signal.h"

namespace x91 {

namespace {

// The default settings, as every default encode writes them.
CheckedSettings default_settings() {
    std::optional<CheckedSettings> checked;
    if (!check_settings({da_CodeFeatures{}, ds, is}, checked)) std::abort();
    return *checked;
}

struct Packet {
    std::vector<unsigned char> bytes;
};

std::vector<Packet> encode(const std::vector<unsigned char>& pcm, std::int64_t* bytes_out) {
    EncodeChain chain(es, default_settings());
    std::vector<Packet> packets;
    std::int64_t total = 0;
    const std::size_t blocks = pcm.size() / EncodeChain::kBlockBytes;
    for (std::size_t b = 0; b < blocks; ++b) {
        chain.feed_block(pcm.data() + b * EncodeChain::kBlockBytes);
        while (chain.has_packet()) {
            const auto packet = chain.take_packet();
            const auto* data = static_cast<const unsigned char*>(packet->data());
            packets.push_back(Packet{{data, data + packet->bytes()}});
            total += packet->bytes();
        }
    }
    if (bytes_out) *bytes_out = total;
    return packets;
}

std::int64_t decode(const std::vector<Packet>& packets) {
    DecodeChain chain(default_settings());
    std::int64_t blocks = 0;
    for (const Packet& p : packets) {
        const int n = static_cast<int>(p.bytes.size());
        std::unique_ptr<unsigned char[]> bytes(new unsigned char[n]);
        std::copy(p.bytes.begin(), p.bytes.end(), bytes.get());
        chain.feed_packet(std::make_unique<da_BinRWBase>(bytes.release(), n, true));
        while (chain.has_block()) {
            chain.take_block();
            ++blocks;
        }
    }
    return blocks;
}

struct Tables {
    Tables() { da_fft_init(); }
    ~Tables() { da_fft_finit(); }
};

void BM_Encode(benchmark::State& state) {
    const Tables tables;
    const int seconds = static_cast<int>(state.range(0));
    const auto pcm = music_pcm(seconds);
    std::int64_t bytes = 0;
    for (auto _ : state) benchmark::DoNotOptimize(encode(pcm, &bytes));
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(seconds) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["kbit_s"] = static_cast<double>(bytes) * 8.0 / seconds / 1000.0;
}

void BM_Decode(benchmark::State& state) {
    const Tables tables;
    const int seconds = static_cast<int>(state.range(0));
    const auto packets = encode(music_pcm(seconds), nullptr);
    for (auto _ : state) benchmark::DoNotOptimize(decode(packets));
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(seconds) * state.iterations(), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_Encode)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace x91

BENCHMARK_MAIN();
