// Pins the bitstream and the decoder output: checksums of the x91 files and
// decoded WAV files the command makes from fixed generated signals. Any
// change to a code, a rounding or a module order shows here first. When an
// intended change moves them, the new values must be justified in review.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

std::uint64_t fnv1a(const std::vector<unsigned char>& bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

std::string hex(std::uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

struct Golden {
    const char* name;
    Pcm (*make)();
    const char* quality;  // content of enc_quality.ini, or null
    // --plain files and their --raw decodes: the layout alone, every block decoded.
    const char* x91_hash;
    const char* wav_hash;
    // Default files, with the extension block, and their exact decodes.
    const char* exact_x91_hash;
    const char* exact_wav_hash;
};

Pcm music() {
    return music_like_signal(5 * 14112, 11);
}
Pcm loud_noise() {
    return noise_signal(2 * 14112, 0.9, 4);
}
Pcm transients() {
    return transient_signal(3 * 14112);
}

TEST(GoldenTest, EncodesAndDecodesMatchPinnedChecksums) {
    const Golden cases[] = {
        {"music", music, nullptr, "c6060b8f16aa8b9f", "2b870b4f5ef0e55d", "cff0431e973dcb46",
         "6fc2e8085b0cb8ed"},
        {"music_q50", music, "50", "1e9f08e3d3cd7486", "3af8861609a7c3aa", "eebe7be22e8e0a01",
         "8e18f67f7ed2a660"},
        {"music_q200", music, "200", "1e32f9a5da18442d", "48bf7c1f6787719e", "5641ac6fc46475d7",
         "499f760243ff7161"},
        {"noise", loud_noise, nullptr, "15eb888dbc00129c", "0c0bf248a1c761ad", "d365865b8ca43338",
         "45ba3a2fb0b78ec9"},
        {"transients", transients, nullptr, "2dd03b4f90a3771e", "0ca07206dabed233",
         "a0e4ddfb9b78659a", "ee13c005de3f93e0"},
    };
    for (const Golden& g : cases) {
        SCOPED_TRACE(g.name);
        ScratchDir dir;
        write_file(dir.file("in.wav"), make_wav(g.make()));
        if (g.quality) {
            const std::string q = g.quality;
            write_file(dir.file("enc_quality.ini"), std::vector<unsigned char>(q.begin(), q.end()));
        }
        RunResult r = run_x91(dir.path(), {"--plain", "in.wav"});
        ASSERT_EQ(r.status, 0) << r.err;
        r = run_x91(dir.path(), {"--raw", "in.x91"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(hex(fnv1a(read_file(dir.file("in.x91")))), g.x91_hash);
        EXPECT_EQ(hex(fnv1a(read_file(dir.file("in.x91.wav")))), g.wav_hash);
        r = run_x91(dir.path(), {"in.wav", "in.x91"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(hex(fnv1a(read_file(dir.file("in.x91")))), g.exact_x91_hash);
        EXPECT_EQ(hex(fnv1a(read_file(dir.file("in.x91.wav")))), g.exact_wav_hash);
    }
}

}  // namespace
