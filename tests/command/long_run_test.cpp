// An hour of generated audio through the real command, encoded and decoded:
// memory must stay flat (the peak resident size of an hour about that of a
// minute) and every input sample must come back, one block late, at the
// fidelity of a short file. Disabled by default (it takes minutes and over a
// gigabyte of scratch space); run it with
//   x91_hostile_input_tests --gtest_also_run_disabled_tests --gtest_filter='*LongRun*'
// X91_LONG_RUN_MINUTES sets the length (60 by default).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr int kBlock = 882;
constexpr int kMinuteFrames = 60 * 44100;
constexpr std::size_t kWavHeader = 44;

// Each minute is generated on its own from its own seed, so the original can
// be made again piece by piece for the comparison instead of being held.
Pcm minute_of_audio(int minute) {
    return music_like_signal(kMinuteFrames, 1000u + static_cast<unsigned>(minute));
}

void write_long_wav(const std::string& path, int minutes) {
    const std::uint32_t data = static_cast<std::uint32_t>(minutes) * kMinuteFrames * 4;
    std::vector<unsigned char> header = make_wav(Pcm{});
    set_le32(header, 4, 36 + data);
    set_le32(header, 40, data);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()),
              static_cast<std::streamsize>(header.size()));
    for (int m = 0; m < minutes; ++m) {
        const Pcm pcm = minute_of_audio(m);
        out.write(reinterpret_cast<const char*>(pcm.data()),
                  static_cast<std::streamsize>(pcm.size() * 2));
    }
    ASSERT_TRUE(out.good());
}

long peak_rss_kb(const std::string& time_report) {
    std::ifstream in(time_report);
    const std::string key = "Maximum resident set size (kbytes): ";
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find(key);
        if (at != std::string::npos) return std::stol(line.substr(at + key.size()));
    }
    return -1;
}

struct RunFigures {
    long encode_rss_kb = -1;
    long decode_rss_kb = -1;
    double snr_db = 0.0;
    double worst_minute_snr_db = 0.0;
};

RunFigures encode_decode(int minutes) {
    RunFigures f;
    ScratchDir dir;
    ScratchDir reports;
    write_long_wav(dir.file("long.wav"), minutes);
    const std::string timed = "/usr/bin/time -v -o " + reports.file("time") + " ";
    RunResult r = run_x91(dir.path(), {"long.wav"}, timed);
    EXPECT_EQ(r.status, 0) << r.err;
    f.encode_rss_kb = peak_rss_kb(reports.file("time"));
    std::remove(dir.file("long.wav").c_str());
    r = run_x91(dir.path(), {"long.x91"}, timed);
    EXPECT_EQ(r.status, 0) << r.err;
    f.decode_rss_kb = peak_rss_kb(reports.file("time"));

    // The decoded audio follows the input one block late and must cover it.
    std::ifstream decoded(dir.file("long.x91.wav"), std::ios::binary | std::ios::ate);
    const std::int64_t decoded_frames =
        (static_cast<std::int64_t>(decoded.tellg()) - kWavHeader) / 4;
    EXPECT_GE(decoded_frames, static_cast<std::int64_t>(minutes) * kMinuteFrames + kBlock);
    double signal = 0.0;
    double error = 0.0;
    f.worst_minute_snr_db = 1000.0;
    Pcm out(2 * static_cast<std::size_t>(kMinuteFrames));
    for (int m = 0; m < minutes; ++m) {
        const Pcm in = minute_of_audio(m);
        std::fill(out.begin(), out.end(), 0);
        decoded.clear();
        decoded.seekg(static_cast<std::streamoff>(kWavHeader) +
                      (static_cast<std::streamoff>(m) * kMinuteFrames + kBlock) * 4);
        decoded.read(reinterpret_cast<char*>(out.data()),
                     static_cast<std::streamsize>(out.size() * 2));
        double s = 0.0;
        double e = 0.0;
        for (std::size_t i = 0; i < in.size(); ++i) {
            const double d = static_cast<double>(out[i]) - in[i];
            s += static_cast<double>(in[i]) * in[i];
            e += d * d;
        }
        signal += s;
        error += e;
        f.worst_minute_snr_db =
            std::min(f.worst_minute_snr_db, 10.0 * std::log10(s / std::max(e, 1.0)));
    }
    f.snr_db = 10.0 * std::log10(signal / std::max(error, 1.0));
    return f;
}

TEST(LongRunTest, DISABLED_AnHourKeepsFlatMemoryAndEverySample) {
    int minutes = 60;
    if (const char* m = std::getenv("X91_LONG_RUN_MINUTES")) minutes = std::max(2, std::atoi(m));
    const RunFigures one = encode_decode(1);
    const RunFigures all = encode_decode(minutes);
    std::printf("1 minute:   encode peak RSS %ld KB, decode %ld KB, SNR %.2f dB\n",
                one.encode_rss_kb, one.decode_rss_kb, one.snr_db);
    std::printf(
        "%d minutes: encode peak RSS %ld KB, decode %ld KB, SNR %.2f dB, worst minute %.2f dB\n",
        minutes, all.encode_rss_kb, all.decode_rss_kb, all.snr_db, all.worst_minute_snr_db);
    ASSERT_GT(one.encode_rss_kb, 0);
    // Flat: within 10% (allocator noise), never growing with the length.
    EXPECT_LE(all.encode_rss_kb, one.encode_rss_kb * 11 / 10);
    EXPECT_LE(all.decode_rss_kb, one.decode_rss_kb * 11 / 10);
    // No minute may fall far below the rest: a lost or shifted stretch would.
    EXPECT_GT(all.worst_minute_snr_db, one.snr_db - 3.0);
}

}  // namespace
