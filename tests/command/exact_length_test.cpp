// Files with the extension block through the real command: decodes of
// exactly the input's frames at lag 0, the checksum -t checks, and what a
// damaged or unknown block does to a decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "format/crc32.h"
#include "support/command_runner.h"
#include "support/test_signals.h"
#include "x91/x91.h"

using namespace x91test;

namespace {

constexpr int kBlock = 882;
constexpr std::size_t kHeader = 62;

// "s882", "b17.x91": built by appending, as GCC 12 warns falsely about
// "literal" + std::string.
std::string numbered(const char* prefix, std::size_t n, const char* suffix = "") {
    std::string name = prefix;
    name.append(std::to_string(n)).append(suffix);
    return name;
}

// Where the extension block of a file starts, from its footer.
std::size_t block_start(const Bytes& file) {
    return file.size() - le32(file, file.size() - 8);
}

TEST(ExactLengthTest, DecodesHoldTheInputsFramesAtLagZero) {
    // 1, 881 and 882 frames, every block count from 1 to 33 (every
    // remainder of a 16-block packet) and two minutes.
    std::vector<int> lengths = {1, 881, 882, 120 * 44100 + 17};
    for (int blocks = 2; blocks <= 33; ++blocks) lengths.push_back(blocks * kBlock - blocks);
    ScratchDir dir;
    std::vector<std::string> encode = {"--quiet"}, exact = {"--quiet"}, raw = {"--quiet", "--raw"};
    for (int frames : lengths) {
        const std::string name = numbered("s", static_cast<std::size_t>(frames));
        // A loud tone right to the last sample, so a lost tail shows.
        write_file(dir.file(name + ".wav"), make_wav(tone_signal(frames, 1000.0, 0.5)));
        encode.push_back(name + ".wav");
        exact.push_back(name + ".x91");
        raw.insert(raw.end(), {"-o", name + ".raw"});
    }
    ASSERT_EQ(run_x91(dir.path(), encode).status, 0);
    ASSERT_EQ(run_x91(dir.path(), exact).status, 0);
    for (int frames : lengths) {
        const std::string name = numbered("s", static_cast<std::size_t>(frames));
        SCOPED_TRACE(name);
        ASSERT_EQ(
            run_x91(dir.path(), {"--quiet", "--raw", "-o", name + ".raw", name + ".x91"}).status,
            0);
        const Pcm decoded = wav_samples(read_file(dir.file(name + ".x91.wav")));
        const Pcm full = wav_samples(read_file(dir.file(name + ".raw")));
        ASSERT_EQ(decoded.size(), 2u * static_cast<std::size_t>(frames));
        // Every sample where the raw decode, one lead-in block late, has it.
        ASSERT_GE(full.size(), 2u * (kBlock + frames));
        EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), full.begin() + 2 * kBlock));
        if (frames >= 2 * kBlock) {
            EXPECT_GT(snr_db(tone_signal(frames, 1000.0, 0.5), decoded, 0), 10.0);
        }
    }
}

TEST(ExactLengthTest, TestSeesAChangedByteAnywhere) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(3 * 14112, 4)));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--title", "t", "a.wav"}).status, 0);
    const Bytes good = read_file(dir.file("a.x91"));
    const std::size_t block = block_start(good);
    // Every byte of the header, the end marker and the block; every 37th of
    // the packets.
    std::vector<std::size_t> offsets;
    for (std::size_t at = 0; at < good.size(); ++at)
        if (at < kHeader || at + 4 >= block || at % 37 == 0) offsets.push_back(at);
    std::vector<std::string> args = {"-t", "a.x91"};
    for (std::size_t at : offsets) {
        Bytes bad = good;
        bad[at] ^= 0x10;
        args.push_back(numbered("b", at, ".x91"));
        write_file(dir.file(args.back()), bad);
    }
    const RunResult r = run_x91(dir.path(), args);
    EXPECT_EQ(r.status, 1);
    std::string expected = "a.x91: ok\n";
    for (std::size_t at : offsets) {
        const std::string name = numbered("b", at, ".x91");
        expected += name + (at < block ? ": damaged: checksum mismatch\n"
                                       : ": damaged: checksum mismatch in the extension block\n");
    }
    EXPECT_EQ(r.out, expected);
}

TEST(ExactLengthTest, ADamagedOrUnknownBlockStillDecodesRaw) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(tone_signal(20000, 440.0, 0.3)));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "a.wav"}).status, 0);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--raw", "-o", "raw.wav", "a.x91"}).status, 0);
    const Bytes good = read_file(dir.file("a.x91"));
    const Bytes raw = read_file(dir.file("raw.wav"));
    const std::size_t block = block_start(good);

    Bytes damaged = good;
    damaged[block + 20] ^= 1;  // inside the frames field
    write_file(dir.file("damaged.x91"), damaged);
    Bytes no_footer = good;
    no_footer[no_footer.size() - 12] = 'Z';  // the footer's magic
    write_file(dir.file("nofooter.x91"), no_footer);
    Bytes later = good;
    set_le32(later, block + 4, 2);  // a version this decoder does not know, sealed
    set_le32(later, later.size() - 4,
             x91::crc32_update(0, later.data() + block, later.size() - block - 4));
    write_file(dir.file("later.x91"), later);
    const struct {
        const char* name;
        const char* warning;
    } cases[] = {
        {"damaged.x91", "checksum mismatch in the extension block; decoded as --raw"},
        {"nofooter.x91", "checksum mismatch in the extension block; decoded as --raw"},
        {"later.x91", "extension block of version 2, not known here; decoded as --raw"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = run_x91(dir.path(), {"--quiet", "-o", "out.wav", c.name});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("x91: ") + c.name + ": warning: " + c.warning + "\n");
        EXPECT_EQ(read_file(dir.file("out.wav")), raw);
    }
    EXPECT_EQ(run_x91(dir.path(), {"-t", "later.x91"}).out,
              "later.x91: ok (no checksum: extension block of version 2, not known here)\n");

    // Without the block the decode is that of every decoder, and -t says so.
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--plain", "-o", "plain.x91", "a.wav"}).status, 0);
    const Bytes plain = read_file(dir.file("plain.x91"));
    EXPECT_EQ(plain, Bytes(good.begin(), good.begin() + static_cast<long>(block)));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "plain.wav", "plain.x91"}).status, 0);
    EXPECT_EQ(read_file(dir.file("plain.wav")), raw);
    EXPECT_EQ(run_x91(dir.path(), {"-t", "plain.x91"}).out, "plain.x91: ok (no checksum)\n");

    // A stream read once that ends within the front a decode holds back
    // decodes exactly too.
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "file.wav", "a.x91"}).status, 0);
    const RunResult piped = run_piped(dir.path(), {"--quiet", "-"}, "a.x91", "pipe.wav");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(wav_samples(read_file(dir.file("pipe.wav"))),
              wav_samples(read_file(dir.file("file.wav"))));
}

TEST(ExactLengthTest, TagsBeyondTheBlockAreLeftOutWithAWarning) {
    // Twenty LIST chunks of a megabyte each: more titles than a block holds.
    // The command line's tag goes first, and a name may hold '~'.
    Bytes info;
    put_id(info, "INFO");
    append(info, chunk("INAM", Bytes(1000000, 'x')));
    std::vector<Bytes> chunks = {chunk("fmt ", cd_fmt_body())};
    for (int i = 0; i < 20; ++i) chunks.push_back(chunk("LIST", info));
    Bytes data;
    for (std::int16_t s : tone_signal(4000, 440.0, 0.3)) put16(data, static_cast<std::uint16_t>(s));
    chunks.push_back(chunk("data", data));
    ScratchDir dir;
    write_file(dir.file("a.wav"), riff(chunks));
    const RunResult r = run_x91(dir.path(), {"--quiet", "--tag", "~X=1", "a.wav"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "x91: a.wav: warning: tags beyond the extension block's 16 MiB left out\n");
    EXPECT_EQ(run_x91(dir.path(), {"-t", "a.x91"}).out, "a.x91: ok\n");
    const Bytes x91 = read_file(dir.file("a.x91"));
    x91_decoder* decoder = nullptr;
    ASSERT_EQ(x91_decoder_open_memory(&decoder, x91.data(), x91.size()), X91_OK);
    const std::size_t count = x91_decoder_tag_count(decoder);
    auto tag = [&](std::size_t i) {
        const char* name = nullptr;
        const char* value = nullptr;
        EXPECT_EQ(x91_decoder_tag(decoder, i, &name, &value), X91_OK);
        return std::string(name ? name : "") + "=" + (value ? value : "");
    };
    EXPECT_GT(count, 10u);
    EXPECT_EQ(tag(count - 1), "~X=1");
    EXPECT_EQ(tag(0), "TITLE=" + std::string(1000000, 'x'));
    x91_decoder_destroy(decoder);
}

}  // namespace
