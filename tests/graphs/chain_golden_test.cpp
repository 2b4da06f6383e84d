// Pins the encode and decode chains at the extremes of the quality range on
// loud and full-band signals: checksums of every packet and every decoded
// block, computed in memory. The per-frame analysis, the block-form choice
// and the coders all run hardest here, so any change to their arithmetic or
// order that the command-level checksums might miss shows in these.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dsp/fft.h"
#include "format/checked_settings.h"
#include "format/quality.h"
#include "format/settings.h"
#include "graphs/decode_chain.h"
#include "graphs/encode_chain.h"
#include "support/test_signals.h"

namespace x91 {

using namespace x91test;

namespace {

struct Hash {
    std::uint64_t h = 1469598103934665603ull;
    void add(const unsigned char* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            h ^= p[i];
            h *= 1099511628211ull;
        }
    }
    std::string hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
        return text;
    }
};

struct Result {
    std::string packets;
    std::string pcm;
};

// A full-scale sweep from 20 Hz to 20 kHz whose left and right channels
// drift apart in phase, so the stereo map and block forms move every frame.
Pcm sweep_signal(int frames) {
    Pcm pcm(2 * static_cast<std::size_t>(frames));
    double phase = 0.0;
    for (int n = 0; n < frames; ++n) {
        const double f = 20.0 * std::pow(1000.0, static_cast<double>(n) / frames);
        phase += 2.0 * M_PI * f / 44100.0;
        pcm[2 * n] = static_cast<std::int16_t>(32767.0 * std::sin(phase));
        pcm[2 * n + 1] = static_cast<std::int16_t>(32767.0 * std::sin(phase * 1.001 + 0.5));
    }
    return pcm;
}

Result round_trip(const Pcm& pcm, float quality) {
    std::optional<CheckedSettings> checked;
    EXPECT_TRUE(check_settings({da_CodeFeatures{}, ds, apply_quality(is, quality)}, checked));
    const CheckedSettings& settings = checked.value();
    std::vector<unsigned char> bytes(pcm.size() * 2);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const auto u = static_cast<std::uint16_t>(pcm[i]);
        bytes[2 * i] = static_cast<unsigned char>(u & 0xff);
        bytes[2 * i + 1] = static_cast<unsigned char>(u >> 8);
    }
    // Whole blocks plus enough silence for the last packet to leave.
    bytes.resize((bytes.size() / EncodeChain::kBlockBytes + 34) * EncodeChain::kBlockBytes, 0);

    Hash packet_hash, pcm_hash;
    EncodeChain encoder(es, settings);
    DecodeChain decoder(settings);
    for (std::size_t at = 0; at < bytes.size(); at += EncodeChain::kBlockBytes) {
        encoder.feed_block(bytes.data() + at);
        while (encoder.has_packet()) {
            const auto packet = encoder.take_packet();
            const int n = packet->bytes();
            const unsigned char size[4] = {
                static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
            packet_hash.add(size, 4);
            packet_hash.add(packet->data(), static_cast<std::size_t>(n));
            std::unique_ptr<unsigned char[]> copy(new unsigned char[n]);
            std::copy(packet->data(), packet->data() + n, copy.get());
            EXPECT_TRUE(
                decoder.feed_packet(std::make_unique<da_BinRWBase>(copy.release(), n, true)));
            while (decoder.has_block())
                pcm_hash.add(decoder.take_block().get(), DecodeChain::kBlockBytes);
        }
    }
    return {packet_hash.hex(), pcm_hash.hex()};
}

class ChainGoldenTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { da_fft_init(); }
    static void TearDownTestSuite() { da_fft_finit(); }
};

TEST_F(ChainGoldenTest, ExtremeQualitiesOnLoudAndFullBandSignals) {
    struct Case {
        const char* name;
        Pcm pcm;
        float quality;
        const char* packets;
        const char* pcm_hash;
    };
    const Pcm noise = noise_signal(3 * 14112, 0.99, 17);
    const Pcm sweep = sweep_signal(3 * 14112);
    const Pcm music = music_like_signal(3 * 14112, 5);
    const Case cases[] = {
        {"noise_q400", noise, 400.0f, "59af887a8a6df4c2", "93c85225d44e8b49"},
        {"noise_q10", noise, 10.0f, "128f087808d6c73b", "b0a8de040ec3bc87"},
        {"sweep_q400", sweep, 400.0f, "7f92b3baa187d559", "45141e776af0fd32"},
        {"sweep_q10", sweep, 10.0f, "d729d04f97cad5d2", "3ff4ddbdee65d0e7"},
        {"music_q400", music, 400.0f, "dec9485c6b4843cd", "fbbfd36b18f43a42"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = round_trip(c.pcm, c.quality);
        EXPECT_EQ(r.packets, c.packets);
        EXPECT_EQ(r.pcm, c.pcm_hash);
    }
}

}  // namespace

}  // namespace x91
