// The tuned encoder and -b through the real command: tuned files are whole
// x91 files the plain decoder reads, and -b lands near its rate in both
// modes. How good the tuned files sound is measured in bench/quality.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr int kSampleRate = 44100;

double kbps_of(const ScratchDir& dir, const char* name, const Pcm& input) {
    const double bytes = static_cast<double>(read_file(dir.file(name)).size());
    return bytes * 8.0 / (static_cast<double>(input.size() / 2) / kSampleRate) / 1000.0;
}

TEST(TunedCommandTest, TunedFilesPassTheCheckAndDecode) {
    constexpr int kFrames = 8 * 14112;  // about 2.6 s
    const struct {
        const char* name;
        Pcm signal;
        const char* quality;  // the tuned choices follow it, low to high
        double min_snr;       // dB, well below what the signal gives
    } cases[] = {
        {"tone", tone_signal(kFrames, 1000.0, 0.5), "100", 15.0},
        {"transients", transient_signal(kFrames), "100", 8.0},
        {"panned", panned_signal(kFrames), "100", 10.0},
        {"music-like", music_like_signal(kFrames, 3), "100", 5.0},
        {"music-like, low quality", music_like_signal(kFrames, 3), "40", 2.0},
        {"noise, top quality", noise_signal(kFrames, 0.1, 7), "400", 5.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        write_file(dir.file("in.wav"), make_wav(c.signal));
        const RunResult encoded =
            run_x91(dir.path(), {"--tuned", "--quiet", "-q", c.quality, "in.wav"});
        ASSERT_EQ(encoded.status, 0) << encoded.err;
        const RunResult checked = run_x91(dir.path(), {"-t", "in.x91"});
        EXPECT_EQ(checked.out, "in.x91: ok\n");
        const RunResult decode = run_x91(dir.path(), {"--quiet", "in.x91"});
        ASSERT_EQ(decode.status, 0) << decode.err;
        const Pcm decoded = wav_samples(read_file(dir.file("in.x91.wav")));
        EXPECT_EQ(decoded.size(), c.signal.size());
        EXPECT_GT(snr_db(c.signal, decoded, 0), c.min_snr);
    }
}

TEST(TunedCommandTest, BitrateLandsWithinFivePercentInBothModes) {
    constexpr int kFrames = 30 * kSampleRate;
    const struct {
        const char* name;
        Pcm signal;
        std::vector<std::string> mode;
        double kbps;
    } cases[] = {
        {"music-like, default", music_like_signal(kFrames, 4), {}, 96.0},
        {"music-like, tuned, low rate", music_like_signal(kFrames, 7), {"--tuned"}, 64.0},
        {"music-like, tuned", music_like_signal(kFrames, 5), {"--tuned"}, 128.0},
        {"noise, tuned", noise_signal(kFrames, 0.1, 6), {"--tuned"}, 160.0},
        // Sparse content needs the top of the tuned scale to come to 192.
        {"panned chord, tuned, top of the scale", panned_signal(kFrames), {"--tuned"}, 192.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        write_file(dir.file("in.wav"), make_wav(c.signal));
        std::vector<std::string> args = c.mode;
        args.insert(args.end(), {"--quiet", "-b", std::to_string(c.kbps), "in.wav"});
        const RunResult r = run_x91(dir.path(), args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NEAR(kbps_of(dir, "in.x91", c.signal) / c.kbps, 1.0, 0.05);
    }
}

}  // namespace
