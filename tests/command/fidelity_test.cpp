// Round-trip fidelity of generated signals through the real command: the
// decoded signal, one block late, must stay close to the input at every
// quality, and better qualities must cost more bits and give less error.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr int kBlock = 882;
constexpr int kFrames = 8 * 14112;  // about 2.6 s

struct Measure {
    double snr;
    double kbps;
};

Measure round_trip(const Pcm& input, const char* quality) {
    ScratchDir dir;
    write_file(dir.file("in.wav"), make_wav(input));
    if (quality) {
        const std::string q = quality;
        write_file(dir.file("enc_quality.ini"), std::vector<unsigned char>(q.begin(), q.end()));
    }
    const RunResult r = run_x91(dir.path(), {"in.wav", "in.x91"});
    EXPECT_EQ(r.status, 0) << r.err;
    const double x91_bytes = static_cast<double>(read_file(dir.file("in.x91")).size());
    const double seconds = static_cast<double>(input.size() / 2) / 44100.0;
    const Pcm decoded = wav_samples(read_file(dir.file("in.x91.wav")));
    // The decode holds exactly the input's frames, sample-aligned with it.
    EXPECT_EQ(decoded.size(), input.size());
    return {snr_db(input, decoded, 0), x91_bytes * 8.0 / seconds / 1000.0};
}

struct SignalCase {
    const char* name;
    Pcm signal;
    double min_snr_default;  // dB at the default quality
};

TEST(FidelityTest, GeneratedSignalsSurviveTheRoundTripAtEveryQuality) {
    const std::vector<SignalCase> cases = {
        {"tone", tone_signal(kFrames, 1000.0, 0.5), 20.0},
        {"noise", noise_signal(kFrames, 0.3, 1), 3.0},
        {"transients", transient_signal(kFrames), 10.0},
        {"panned", panned_signal(kFrames), 15.0},
        {"music-like", music_like_signal(kFrames, 2), 8.0},
    };
    for (const SignalCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Measure low = round_trip(c.signal, "50");
        const Measure mid = round_trip(c.signal, nullptr);
        const Measure high = round_trip(c.signal, "200");
        std::printf(
            "%-11s q50 %6.2f dB %7.1f kbit/s | q100 %6.2f dB %7.1f kbit/s | q200 %6.2f dB %7.1f "
            "kbit/s\n",
            c.name, low.snr, low.kbps, mid.snr, mid.kbps, high.snr, high.kbps);
        EXPECT_GT(mid.snr, c.min_snr_default);
        EXPECT_GT(high.snr, mid.snr);
        EXPECT_GT(mid.snr, low.snr);
        EXPECT_GT(high.kbps, mid.kbps);
        EXPECT_GT(mid.kbps, low.kbps);
        // Far below the 1411 kbit/s of the input at every setting.
        EXPECT_LT(high.kbps, 700.0);
    }
}

}  // namespace
