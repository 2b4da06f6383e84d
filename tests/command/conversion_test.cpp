// The x91 command end to end: real files in a scratch directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr int kBlock = 882;
constexpr std::size_t kHeader = 62;

// Counts the packets of an x91 file and checks its framing.
struct Framing {
    std::vector<std::uint32_t> packet_bytes;
    bool terminated = false;
};

Framing read_framing(const std::vector<unsigned char>& x91) {
    Framing f;
    std::size_t at = kHeader;
    while (at + 4 <= x91.size()) {
        const std::uint32_t n = le32(x91, at);
        at += 4;
        if (n == 0) {
            f.terminated = at == x91.size();
            break;
        }
        f.packet_bytes.push_back(n);
        at += n;
    }
    return f;
}

std::int64_t expected_packets(std::int64_t frames) {
    if (frames == 0) return 0;
    const std::int64_t blocks = (frames + kBlock - 1) / kBlock;
    return (blocks + 2 + 15) / 16;
}

TEST(ConversionTest, DefaultHeaderBytesAndShortFileLayout) {
    ScratchDir dir;
    write_file(dir.file("short.wav"), make_wav(Pcm{}));
    const RunResult r = run_x91(dir.path(), {"--plain", "short.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "encoding : 'short.wav' to : 'short.x91'\n\ndone.\n");
    const auto x91 = read_file(dir.file("short.x91"));
    const std::vector<unsigned char> expected = {
        0x78, 0x39, 0x31, 0,    0,    0,    0x20, 0x03, 0,    0,    0x20, 0,    0,    0,
        0x20, 0,    0,    0,    0x64, 0,    0,    0,    0x0C, 0,    0,    0,    0x20, 0,
        0,    0,    0x10, 0,    0,    0,    0xCD, 0xCC, 0x4C, 0x3E, 0xCD, 0xCC, 0x4C, 0x3E,
        0x9A, 0x99, 0x19, 0x3E, 0,    0,    0,    0,    0x66, 0x66, 0x66, 0x3F, 0x66, 0x66,
        0x66, 0x3F, 0xCD, 0xCC, 0x8C, 0x3F, 0,    0,    0,    0};
    EXPECT_EQ(x91, expected);
}

TEST(ConversionTest, DigitalSilencePacketsAre371BitsAndDecodeToZeros) {
    ScratchDir dir;
    write_file(dir.file("silence.wav"), make_wav(Pcm(2 * 3 * 16 * kBlock, 0)));
    ASSERT_EQ(run_x91(dir.path(), {"--plain", "silence.wav", "silence.x91"}).status, 0);
    const Framing f = read_framing(read_file(dir.file("silence.x91")));
    ASSERT_TRUE(f.terminated);
    ASSERT_EQ(f.packet_bytes.size(), 4u);
    for (std::uint32_t n : f.packet_bytes) EXPECT_EQ(n, 47u);
    const Pcm decoded = wav_samples(read_file(dir.file("silence.x91.wav")));
    EXPECT_EQ(decoded.size(), (16u * 4 - 1) * kBlock * 2);
    for (std::int16_t s : decoded) ASSERT_EQ(s, 0);
}

TEST(ConversionTest, PacketCountAndDecodedLengthKeepEveryInputSample) {
    for (int frames : {0, 1, 881, 882, 14111, 14112, 14113, 28224}) {
        SCOPED_TRACE("frames = " + std::to_string(frames));
        ScratchDir dir;
        // A loud tone right to the last sample, so a lost tail shows.
        const Pcm input = tone_signal(frames, 1000.0, 0.5);
        write_file(dir.file("in.wav"), make_wav(input));
        const RunResult r = run_x91(dir.path(), {"--plain", "in.wav", "in.x91"});
        ASSERT_EQ(r.status, 0) << r.err;
        const Framing f = read_framing(read_file(dir.file("in.x91")));
        ASSERT_TRUE(f.terminated);
        const std::int64_t packets = expected_packets(frames);
        EXPECT_EQ(static_cast<std::int64_t>(f.packet_bytes.size()), packets);
        const Pcm decoded = wav_samples(read_file(dir.file("in.x91.wav")));
        const std::int64_t blocks_out = packets == 0 ? 0 : 16 * packets - 1;
        ASSERT_EQ(static_cast<std::int64_t>(decoded.size()), blocks_out * kBlock * 2);
        if (frames == 0) continue;
        // The lead-in block is silent; the input follows one block late.
        ASSERT_GE(decoded.size(), static_cast<std::size_t>(2 * (kBlock + frames)));
        if (frames >= 2 * kBlock) {
            EXPECT_GT(snr_db(input, decoded, kBlock), 10.0);
        }
        // The last input samples are present, not silence.
        double tail = 0.0, input_tail = 0.0;
        for (int i = std::max(0, frames - 200); i < frames; ++i) {
            tail += std::abs(static_cast<double>(decoded[2 * (kBlock + i)]));
            input_tail += std::abs(static_cast<double>(input[2 * i]));
        }
        if (input_tail > 0.0) {
            EXPECT_GT(tail, 0.0);
        }
    }
}

TEST(ConversionTest, EncodesThenDecodesTheNewFileInOneCall) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(3 * 14112, 7)));
    const RunResult r = run_x91(dir.path(), {"a.wav", "a.x91"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("encoding : 'a.wav' to : 'a.x91'\n"), std::string::npos);
    EXPECT_NE(r.out.find("decoding : 'a.x91' to : 'a.x91.wav'\n"), std::string::npos);
    EXPECT_NE(r.out.find(" seconds  [ avg bitrate : "), std::string::npos);
    EXPECT_NE(r.out.find(" bits/sec ]  \r"), std::string::npos);
    EXPECT_TRUE(file_exists(dir.file("a.x91.wav")));
    EXPECT_EQ(r.err, "");
}

TEST(ConversionTest, SameInputGivesByteIdenticalFiles) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(2 * 14112, 3)));
    ASSERT_EQ(run_x91(dir.path(), {"a.wav", "a.x91"}).status, 0);
    const auto first_x91 = read_file(dir.file("a.x91"));
    const auto first_wav = read_file(dir.file("a.x91.wav"));
    ASSERT_EQ(run_x91(dir.path(), {"a.wav", "a.x91"}).status, 0);
    EXPECT_EQ(read_file(dir.file("a.x91")), first_x91);
    EXPECT_EQ(read_file(dir.file("a.x91.wav")), first_wav);
}

struct Refusal {
    std::string name;
    std::vector<unsigned char> content;
    bool create;
    std::string reason;
};

TEST(ConversionTest, RefusedInputsGetOneLineNoOutputAndStatusOne) {
    const Pcm some = tone_signal(2000, 440.0, 0.3);
    std::vector<unsigned char> truncated_x91 = {'x', '9', '1', 0, 0, 0, 0x20, 0x03};
    std::vector<Refusal> cases = {
        {"missing.wav", {}, false, "x91: missing.wav: cannot open"},
        {"three.wav", make_wav(some, 3), true, "x91: three.wav: 3 channels; x91 takes 1 or 2"},
        {"tag.wav", make_wav(some, 2, 44100, 16, 0x1234), true,
         "x91: tag.wav: not an audio file libsndfile can read: "},
        {"rate.flac", {'f', 'L', 'a', 'C'}, true, "x91: rate.flac: not an audio file"},
        {"text.wav", {'h', 'e', 'l', 'l', 'o'}, true, "x91: text.wav: "},
        {"missing.x91", {}, false, "x91: missing.x91: cannot open"},
        {"plain.x91", {'h', 'e', 'l', 'l', 'o'}, true, "x91: plain.x91: not an x91 file"},
        {"cut.x91", truncated_x91, true, "x91: cut.x91: x91 header cut short"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        if (c.create) write_file(dir.file(c.name), c.content);
        const RunResult r = run_x91(dir.path(), {c.name});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind(c.reason, 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        const std::vector<std::string> expected_files =
            c.create ? std::vector<std::string>{c.name} : std::vector<std::string>{};
        EXPECT_EQ(list_dir(dir.path()), expected_files);
    }
}

TEST(ConversionTest, LaterArgumentsStillConvertAfterAFailure) {
    ScratchDir dir;
    write_file(dir.file("good.wav"), make_wav(tone_signal(3000, 440.0, 0.3)));
    const RunResult r = run_x91(dir.path(), {"nothere.wav", "good.wav", "notes.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(file_exists(dir.file("good.x91")));
    EXPECT_NE(r.err.find("x91: nothere.wav: "), std::string::npos);
    EXPECT_NE(r.err.find("x91: notes.txt: "), std::string::npos);
}

TEST(ConversionTest, CorruptedX91DecodesWithWarningAndStatusOne) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(4 * 14112, 5)));
    ASSERT_EQ(run_x91(dir.path(), {"--plain", "a.wav"}).status, 0);
    auto x91 = read_file(dir.file("a.x91"));
    // A packet count far beyond the file: the sequence ends there as damage.
    const Framing f = read_framing(x91);
    ASSERT_GE(f.packet_bytes.size(), 3u);
    const std::size_t second = kHeader + 4 + f.packet_bytes[0];
    x91[second + 3] = 0x7F;
    write_file(dir.file("a.x91"), x91);
    const RunResult r = run_x91(dir.path(), {"a.x91"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("x91: a.x91: warning: packet 2 "), std::string::npos) << r.err;
    // The first packet's audio is kept.
    EXPECT_EQ(wav_samples(read_file(dir.file("a.x91.wav"))).size(), 15u * kBlock * 2);
}

TEST(ConversionTest, ARunOfDamagedPacketsEndsTheDecode) {
    // A header followed by many one-byte packets: each one decodes to 16
    // frames of whatever its zero bits say, so without a stop a tiny file
    // would write an enormous one.
    ScratchDir dir;
    write_file(dir.file("short.wav"), make_wav(Pcm{}));
    ASSERT_EQ(run_x91(dir.path(), {"short.wav"}).status, 0);
    auto x91 = read_file(dir.file("short.x91"));
    x91.resize(kHeader);
    for (int i = 0; i < 1000; ++i) x91.insert(x91.end(), {1, 0, 0, 0, 0xFF});
    x91.insert(x91.end(), {0, 0, 0, 0});
    write_file(dir.file("noise.x91"), x91);
    const RunResult r = run_x91(dir.path(), {"noise.x91"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("stopped after 8 damaged packets in a row"), std::string::npos) << r.err;
    EXPECT_EQ(wav_samples(read_file(dir.file("noise.x91.wav"))).size(), (8u * 16 - 1) * kBlock * 2);
}

TEST(ConversionTest, OutputThatCannotBeWrittenIsReportedAndLeavesNothing) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(tone_signal(20000, 440.0, 0.3)));
    // Even root cannot rename a file over a non-empty directory.
    ASSERT_EQ(mkdir(dir.file("a.x91").c_str(), 0755), 0);
    write_file(dir.file("a.x91/keep"), {'k'});
    const RunResult r = run_x91(dir.path(), {"a.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("x91: a.x91: cannot write: ", 0), 0u) << r.err;
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.wav", "a.x91"}));
    EXPECT_EQ(list_dir(dir.file("a.x91")), (std::vector<std::string>{"keep"}));
}

// The output is checked when it is opened, so the rename that puts it in
// place can still fail: here a non-empty directory takes the output's name
// while the input, from a FIFO, is still coming. The failure is reported
// and the temporary file goes.
TEST(ConversionTest, AFailedRenameLeavesNoTemporaryFile) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(tone_signal(40000, 440.0, 0.3)));
    const RunResult r = run_shell(dir.path(), R"sh(
        mkfifo in.fifo
        "$X91" --quiet -o out.x91 in.fifo 2> err.txt & pid=$!
        exec 3> in.fifo
        head -c 20000 a.wav >&3
        for i in $(seq 1 1000); do
            [ -n "$(ls -A | grep -v -x -e a.wav -e in.fifo -e err.txt)" ] && break
            sleep 0.01
        done
        mkdir out.x91 && echo k > out.x91/keep
        tail -c +20001 a.wav >&3
        exec 3>&-
        wait $pid; echo "status $?"
        cat err.txt >&2
        rm in.fifo err.txt)sh");
    EXPECT_EQ(r.out, "status 1\n");
    EXPECT_EQ(r.err.rfind("x91: out.x91: cannot write: ", 0), 0u) << r.err;
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.wav", "out.x91"}));
    EXPECT_EQ(list_dir(dir.file("out.x91")), (std::vector<std::string>{"keep"}));
}

TEST(ConversionTest, UnwritableDirectoryIsReported) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    ScratchDir dir;
    ASSERT_EQ(mkdir(dir.file("ro").c_str(), 0755), 0);
    write_file(dir.file("ro/a.wav"), make_wav(tone_signal(2000, 440.0, 0.3)));
    ASSERT_EQ(chmod(dir.file("ro").c_str(), 0555), 0);
    const RunResult r = run_x91(dir.path(), {"ro/a.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "x91: ro/a.x91: cannot write: Permission denied\n");
    EXPECT_EQ(list_dir(dir.file("ro")), (std::vector<std::string>{"a.wav"}));
}

TEST(ConversionTest, FullDiskLeavesNoPartialFileAndKeepsTheOldOne) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(10 * 14112, 9)));
    write_file(dir.file("a.x91"), {'o', 'l', 'd'});
    // File size limit of 4 KiB: writes fail part way, as on a full disk.
    const RunResult r = run_x91(dir.path(), {"a.wav"}, "ulimit -f 4; ");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("x91: a.x91: cannot write: ", 0), 0u) << r.err;
    EXPECT_EQ(read_file(dir.file("a.x91")), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.wav", "a.x91"}));
}

TEST(ConversionTest, ExistingOutputSurvivesAFailedConversion) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(tone_signal(1000, 440.0, 0.3), 3));
    write_file(dir.file("a.x91"), {'k', 'e', 'e', 'p'});
    EXPECT_EQ(run_x91(dir.path(), {"a.wav"}).status, 1);
    EXPECT_EQ(read_file(dir.file("a.x91")), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
}

}  // namespace
