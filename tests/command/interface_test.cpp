// The command's options, pipes, file checks and parallel conversions, run
// through the real binary in a scratch directory.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr std::size_t kHeader = 62;

// The header a streaming tool writes: RIFF and data sizes unknown
// (0xFFFFFFFF), a LIST chunk before "fmt ", and an odd-sized chunk with its
// pad byte between "fmt " and "data".
Bytes streaming_wav(const Pcm& samples) {
    const Bytes canonical = make_wav(samples);
    const std::string info("INFOISFT\x0e\0\0\0Lavf60.3.100\0\0", 26);
    Bytes v = riff({chunk("LIST", Bytes(info.begin(), info.end())), chunk("fmt ", cd_fmt_body()),
                    chunk("note", {'a', 'b', 'c'})},
                   0xFFFFFFFF);
    put_id(v, "data");
    put32(v, 0xFFFFFFFF);
    v.insert(v.end(), canonical.begin() + 44, canonical.end());
    return v;
}

struct Framing {
    std::vector<std::size_t> offsets;  // of each packet's count
    std::vector<std::uint32_t> sizes;
};

Framing framing(const Bytes& x91) {
    Framing f;
    for (std::size_t at = kHeader; at + 4 <= x91.size();) {
        const std::uint32_t n = le32(x91, at);
        if (n == 0) break;
        f.offsets.push_back(at);
        f.sizes.push_back(n);
        at += 4 + n;
    }
    return f;
}

// --- options ------------------------------------------------------------------

TEST(OptionsTest, HelpAndVersionGoToStandardOutput) {
    ScratchDir dir;
    for (const char* flag : {"-h", "--help"}) {
        const RunResult r = run_x91(dir.path(), {flag, "ignored.wav"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("usage: x91 ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("--quality"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    for (const char* flag : {"-V", "--version"}) {
        const RunResult r = run_x91(dir.path(), {flag});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, std::string("x91 ") + X91_VERSION + "\n");
    }
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{});
}

TEST(OptionsTest, StandardOutputThatCannotBeWrittenFailsTheRun) {
    // Verdicts, usage, version and progress alike; the files are converted.
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(tone_signal(2000, 440.0, 0.3)));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "a.wav"}).status, 0);
    for (const char* args : {"-t a.x91", "-h", "-V", "-o b.x91 a.wav"}) {
        SCOPED_TRACE(args);
        const RunResult r = run_shell(dir.path(), std::string("\"$X91\" ") + args + " > /dev/full");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "x91: -: cannot write: No space left on device\n");
    }
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.wav", "a.x91", "b.x91"}));
}

TEST(OptionsTest, UsageErrorsGiveTheReasonAndTheUsageOnStandardError) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(tone_signal(2000, 440.0, 0.3)));
    write_file(dir.file("b.wav"), make_wav(tone_signal(2000, 440.0, 0.3)));
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{"-x", "a.wav"}, "x91: unknown option '-x'\n"},
        {{"--frobnicate", "a.wav"}, "x91: unknown option '--frobnicate'\n"},
        {{"-o", "out.x91", "a.wav", "b.wav"}, "x91: -o takes exactly one input file\n"},
        {{"-o"}, "x91: -o needs a file name\n"},
        {{"-j", "0", "a.wav"}, "x91: -j needs a number of jobs from 1 to 64\n"},
        {{"-jx", "a.wav"}, "x91: -j needs a number of jobs from 1 to 64\n"},
        {{"--quiet"}, "x91: no files given\n"},
        {{"-t", "-o", "x", "a.x91"}, "x91: -t writes nothing, so it takes no -o\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const RunResult r = run_x91(dir.path(), c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind(c.reason, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("usage: x91 "), std::string::npos);
    }
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.wav", "b.wav"}));
}

TEST(OptionsTest, DoubleDashLetsANameStartWithADash) {
    ScratchDir dir;
    write_file(dir.file("-x.wav"), make_wav(tone_signal(3000, 440.0, 0.3)));
    const RunResult r = run_x91(dir.path(), {"--", "-x.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(file_exists(dir.file("-x.x91")));
    // Options may follow file names, so only "--" makes a name of a dash.
    write_file(dir.file("a.wav"), make_wav(tone_signal(3000, 440.0, 0.3)));
    EXPECT_EQ(run_x91(dir.path(), {"a.wav", "-x.wav"}).status, 1);
    EXPECT_EQ(run_x91(dir.path(), {"a.wav", "--", "-x.wav"}).status, 0);
}

TEST(OptionsTest, QualityOptionMatchesTheQualityFileAndOverridesIt) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(2 * 14112, 3)));
    write_file(dir.file("enc_quality.ini"), {'5', '0'});
    RunResult r = run_x91(dir.path(), {"a.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes from_file = read_file(dir.file("a.x91"));

    // The file now says 200; -q 50 must win and the file must not be read.
    write_file(dir.file("enc_quality.ini"), {'2', '0', '0'});
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-q", "50", "a.wav"},
                                                 {"-q50", "a.wav"},
                                                 {"--quality=50", "a.wav"},
                                                 {"--quality", "50", "a.wav"}}) {
        SCOPED_TRACE(args[0]);
        r = run_x91(dir.path(), args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("Encoding Quality : 50 %\n\nencoding : 'a.wav' to : 'a.x91'\n", 0),
                  0u)
            << r.out;
        EXPECT_EQ(read_file(dir.file("a.x91")), from_file);
    }
}

TEST(OptionsTest, WrongQualityIsRefusedWithoutFallingBack) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(tone_signal(3000, 440.0, 0.3)));
    for (const std::string value : {"5", "400.5", "abc", "50x", "", "nan", "inf"}) {
        SCOPED_TRACE(value);
        const RunResult r = run_x91(dir.path(), {"-q", value, "a.wav"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "x91: -q: the quality must be a number from 10 to 400, not '" + value + "'\n");
        EXPECT_FALSE(file_exists(dir.file("a.x91")));
    }
    EXPECT_EQ(run_x91(dir.path(), {"-q", "10", "a.wav"}).status, 0);
    EXPECT_EQ(run_x91(dir.path(), {"-q", "400", "a.wav"}).status, 0);
}

TEST(OptionsTest, OutputNameAndContentDetectionForUnknownSuffixes) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(tone_signal(20000, 440.0, 0.3)));
    ASSERT_EQ(run_x91(dir.path(), {"a.wav", "a.x91"}).status, 0);
    RunResult r = run_x91(dir.path(), {"-o", "other.bin", "a.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("encoding : 'a.wav' to : 'other.bin'\n"), 0u) << r.out;
    EXPECT_EQ(read_file(dir.file("other.bin")), read_file(dir.file("a.x91")));
    ASSERT_EQ(run_x91(dir.path(), {"--output=long.bin", "--jobs", "2", "a.wav"}).status, 0);
    EXPECT_EQ(read_file(dir.file("long.bin")), read_file(dir.file("a.x91")));
    // With -o, a name without a known suffix is taken by its content.
    r = run_x91(dir.path(), {"-o", "back.wav", "other.bin"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir.file("back.wav")), read_file(dir.file("a.x91.wav")));
    write_file(dir.file("text.bin"), {'h', 'i'});
    r = run_x91(dir.path(), {"-o", "x.wav", "text.bin"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "x91: text.bin: not an audio file libsndfile can read: Format not recognised.\n");
}

TEST(OptionsTest, QuietKeepsOnlyProblems) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(2 * 14112, 3)));
    write_file(dir.file("enc_quality.ini"), {'5', '0'});
    RunResult r = run_x91(dir.path(), {"--quiet", "a.wav", "a.x91"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(file_exists(dir.file("a.x91.wav")));
    r = run_x91(dir.path(), {"--quiet", "missing.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("x91: missing.wav: cannot open", 0), 0u);
}

// --- pipes --------------------------------------------------------------------

TEST(PipeTest, EncodingFromAPipeMatchesEncodingTheFile) {
    for (int frames : {0, 1000, 14112, 3 * 14112 + 17}) {
        SCOPED_TRACE("frames = " + std::to_string(frames));
        ScratchDir dir;
        const Pcm audio = music_like_signal(frames, 5);
        write_file(dir.file("a.wav"), make_wav(audio));
        // Two stray bytes after the last frame: not audio, in a file or a pipe.
        Bytes stream = streaming_wav(audio);
        stream.insert(stream.end(), {0x11, 0x22});
        write_file(dir.file("stream.wav"), stream);
        ASSERT_EQ(run_x91(dir.path(), {"a.wav"}).status, 0);
        const Bytes expected = read_file(dir.file("a.x91"));

        // A streaming header of unknown length, read to the end of the pipe.
        RunResult r = run_piped(dir.path(), {"-o", "p.x91", "-"}, "stream.wav", "out");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("encoding : '-' to : 'p.x91'\n", 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_file(dir.file("p.x91")), expected);
        // The same streaming header read from a file.
        ASSERT_EQ(run_x91(dir.path(), {"stream.wav"}).status, 0);
        EXPECT_EQ(read_file(dir.file("stream.x91")), expected);

        // The canonical header through a pipe, the x91 data to standard output.
        r = run_piped(dir.path(), {"-"}, "a.wav", "q.x91");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file(dir.file("q.x91")), expected);
        // Progress goes to standard error, never into the data.
        EXPECT_NE(r.err.find("encoding : '-' to : '-'\n"), std::string::npos) << r.err;
    }
}

TEST(PipeTest, DecodingToAPipeGivesTheStreamingHeaderAndTheSameSamples) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(3 * 14112, 2)));
    ASSERT_EQ(run_x91(dir.path(), {"a.wav", "a.x91"}).status, 0);
    const Bytes file_decode = read_file(dir.file("a.x91.wav"));

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-o", "-", "a.x91"}, std::vector<std::string>{"-"}}) {
        SCOPED_TRACE(args.size());
        const RunResult r =
            run_piped(dir.path(), args, args.size() == 1 ? "a.x91" : "", "piped.wav");
        ASSERT_EQ(r.status, 0) << r.err;
        const Bytes piped = read_file(dir.file("piped.wav"));
        ASSERT_EQ(piped.size(), file_decode.size());
        EXPECT_EQ(le32(piped, 4), 0xFFFFFFFFu);
        EXPECT_EQ(le32(piped, 40), 0xFFFFFFFFu);
        EXPECT_TRUE(std::equal(piped.begin(), piped.begin() + 4, file_decode.begin()));
        EXPECT_TRUE(std::equal(piped.begin() + 8, piped.begin() + 40, file_decode.begin() + 8));
        EXPECT_TRUE(std::equal(piped.begin() + 44, piped.end(), file_decode.begin() + 44));
        EXPECT_NE(r.err.find("decoding : '"), std::string::npos);
    }
    // What was written to a pipe reads back, through a pipe, as the same audio.
    const RunResult r = run_piped(dir.path(), {"-o", "again.x91", "-"}, "piped.wav", "out");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(file_exists(dir.file("again.x91")));
}

TEST(PipeTest, X91FromAPipeDecodesLikeTheFile) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(2 * 14112, 4)));
    ASSERT_EQ(run_x91(dir.path(), {"a.wav", "a.x91"}).status, 0);
    const RunResult r = run_piped(dir.path(), {"-o", "p.wav", "-"}, "a.x91", "out");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir.file("p.wav")), read_file(dir.file("a.x91.wav")));
}

// Read once from its start, with nothing copied aside: while it decodes,
// x91 holds no file open but its standard streams. The bytes are those of a
// decode of the file, tags in front of the audio included.
TEST(PipeTest, X91FromAPipeIsReadOnceWithoutATemporaryCopy) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(noise_signal(12 * 14112, 0.5, 7)));
    ASSERT_EQ(run_x91(dir.path(), {"-q", "400", "--title", "piped", "a.wav"}).status, 0);
    ASSERT_EQ(run_x91(dir.path(), {"-o", "ref.wav", "a.x91"}).status, 0);
    ASSERT_GT(read_file(dir.file("a.x91")).size(), 130000u);
    // More than a pipe holds goes in first, so x91 has read part of it when
    // its open files are listed.
    // Files the test's own runner leaves open are inherited, not opened.
    const RunResult r = run_shell(dir.path(), R"sh(
        inherited=$(for fd in /proc/$$/fd/*; do readlink "$fd"; done)
        mkfifo in.fifo
        "$X91" --quiet - < in.fifo > got.wav 2> /dev/null & pid=$!
        exec 3> in.fifo
        head -c 100000 a.x91 >&3
        for fd in /proc/$pid/fd/*; do
            target=$(readlink "$fd")
            case "$target" in /dev/*|pipe:*|socket:*|*/in.fifo|*/got.wav) continue;; esac
            printf '%s\n' "$inherited" | grep -qxF "$target" || echo "open: $target"
        done
        tail -c +100001 a.x91 >&3
        exec 3>&-
        wait $pid; echo "status $?"
        rm in.fifo)sh");
    EXPECT_EQ(r.out, "status 0\n");
    EXPECT_EQ(read_file(dir.file("got.wav")), read_file(dir.file("ref.wav")));
}

TEST(PipeTest, StreamProblemsAreReported) {
    ScratchDir dir;
    const Pcm audio = tone_signal(5000, 440.0, 0.3);
    write_file(dir.file("junk"), {'j', 'u', 'n', 'k', '!'});
    RunResult r = run_piped(dir.path(), {"-o", "x.x91", "-"}, "junk", "out");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "x91: -: not an audio file libsndfile can read: Format not recognised.\n");
    r = run_piped(dir.path(), {"-o", "x.x91", "-"}, "", "out");
    EXPECT_EQ(r.status, 1);

    // "data" before "fmt " cannot be read without going back.
    Bytes backwards = make_wav(audio);
    Bytes reordered;
    const auto append = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) reordered.push_back(backwards[i]);
    };
    append(0, 12);
    append(36, backwards.size());
    append(12, 36);
    write_file(dir.file("backwards.wav"), reordered);
    r = run_piped(dir.path(), {"-o", "x.x91", "-"}, "backwards.wav", "out");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("data chunk before the fmt chunk"), std::string::npos) << r.err;
    EXPECT_FALSE(file_exists(dir.file("x.x91")));

    // A data chunk that claims more than the stream holds: what is there is
    // encoded, as from a file, with a warning.
    Bytes cut = make_wav(audio);
    cut.resize(cut.size() - 1000);
    write_file(dir.file("cut.wav"), cut);
    ASSERT_EQ(run_x91(dir.path(), {"cut.wav"}).status, 1);
    r = run_piped(dir.path(), {"-o", "cut_piped.x91", "-"}, "cut.wav", "out");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("x91: -: warning: WAV data cut short; encoded the 4750 sample frames present"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(read_file(dir.file("cut_piped.x91")), read_file(dir.file("cut.x91")));

    // Standard input can be read once only.
    write_file(dir.file("a.wav"), make_wav(audio));
    r = run_piped(dir.path(), {"-", "-"}, "a.wav", "out.x91");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("x91: -: standard input can be read only once"), std::string::npos);
}

// --- -t -----------------------------------------------------------------------

class TestModeTest : public testing::Test {
  protected:
    void SetUp() override {
        write_file(dir_.file("a.wav"), make_wav(music_like_signal(4 * 14112, 6)));
        // The checks of the packets' layout, on a file without the
        // extension block (exact_length_test.cpp checks those with it).
        ASSERT_EQ(run_x91(dir_.path(), {"--quiet", "--plain", "a.wav"}).status, 0);
        good_ = read_file(dir_.file("a.x91"));
        f_ = framing(good_);
        ASSERT_GE(f_.sizes.size(), 3u);
    }

    // Runs x91 -t on the bytes stored as name; returns the stdout line.
    RunResult check(const std::string& name, const Bytes& bytes,
                    std::vector<std::string> extra = {}) {
        write_file(dir_.file(name), bytes);
        extra.push_back(name);
        extra.insert(extra.begin(), "-t");
        const auto before = list_dir(dir_.path());
        RunResult r = run_x91(dir_.path(), extra);
        EXPECT_EQ(list_dir(dir_.path()), before) << "-t must write nothing";
        return r;
    }

    ScratchDir dir_;
    Bytes good_;
    Framing f_;
};

TEST_F(TestModeTest, IntactFileIsOk) {
    const RunResult r = check("good.x91", good_);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "good.x91: ok (no checksum)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(run_x91(dir_.path(), {"-t", "--quiet", "good.x91"}).out, "");
    EXPECT_EQ(run_piped(dir_.path(), {"-t", "-"}, "good.x91", "out").out, "-: ok (no checksum)\n");
}

TEST_F(TestModeTest, TruncatedFilesAreDamaged) {
    Bytes cut = good_;
    cut.resize(f_.offsets[1] + 4 + f_.sizes[1] / 2);
    RunResult r = check("cut.x91", cut);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "cut.x91: damaged: packet 2 claims " + std::to_string(f_.sizes[1]) +
                         " bytes, more than the file holds\n");
    // A stream read once, whose size shows only at its end, names it alike.
    r = run_piped(dir_.path(), {"-t", "-"}, "cut.x91", "out");
    EXPECT_EQ(r.out, "-: damaged: packet 2 claims " + std::to_string(f_.sizes[1]) +
                         " bytes, more than the file holds\n");

    Bytes no_end = good_;
    no_end.resize(good_.size() - 4);
    r = check("noend.x91", no_end);
    EXPECT_EQ(r.out, "noend.x91: damaged: ends without its end marker\n");

    r = check("head.x91", Bytes(good_.begin(), good_.begin() + 40));
    EXPECT_EQ(r.out, "head.x91: damaged: x91 header cut short\n");
}

TEST_F(TestModeTest, CorruptedPacketsAreDamaged) {
    // A packet two bytes short: the decoders run past its end.
    Bytes overrun(good_.begin(), good_.begin() + static_cast<long>(f_.offsets[1]));
    const std::uint32_t short_size = f_.sizes[1] - 2;
    put32(overrun, short_size);
    overrun.insert(overrun.end(), good_.begin() + static_cast<long>(f_.offsets[1] + 4),
                   good_.begin() + static_cast<long>(f_.offsets[1] + 4 + short_size));
    overrun.insert(overrun.end(), good_.begin() + static_cast<long>(f_.offsets[2]), good_.end());
    RunResult r = check("over.x91", overrun);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "over.x91: damaged: packet 2 is damaged: its bits run past its end\n");

    // A packet with a byte too many: it decodes, but was not written so.
    Bytes padded(good_.begin(), good_.begin() + static_cast<long>(f_.offsets[0]));
    put32(padded, f_.sizes[0] + 1);
    padded.insert(padded.end(), good_.begin() + static_cast<long>(f_.offsets[0] + 4),
                  good_.begin() + static_cast<long>(f_.offsets[1]));
    padded.push_back(0);
    padded.insert(padded.end(), good_.begin() + static_cast<long>(f_.offsets[1]), good_.end());
    r = check("pad.x91", padded);
    EXPECT_EQ(r.out,
              "pad.x91: damaged: packet 1 is damaged: whole bytes at its end are left unread\n");
    // An ordinary decode takes such a packet without complaint.
    EXPECT_EQ(run_x91(dir_.path(), {"pad.x91"}).status, 0);

    Bytes trailing = good_;
    trailing.insert(trailing.end(), {1, 2, 3});
    r = check("tail.x91", trailing);
    EXPECT_EQ(r.out, "tail.x91: damaged: 3 bytes follow the end marker\n");

    Bytes negative = good_;
    set_le32(negative, f_.offsets[2], 0xFFFFFFF0u);
    r = check("neg.x91", negative);
    EXPECT_EQ(r.out, "neg.x91: damaged: packet 3 has a negative byte count, -16\n");

    Bytes header = good_;
    set_le32(header, 6, 0);  // line count 0
    r = check("hdr.x91", header);
    EXPECT_EQ(r.out, "hdr.x91: damaged: x91 header damaged: line count 0\n");
}

TEST_F(TestModeTest, SeveralFilesOneLineEachAndStatusOneIfAnyIsBad) {
    write_file(dir_.file("good.x91"), good_);
    write_file(dir_.file("b.x91"), Bytes(good_.begin(), good_.end() - 4));
    const RunResult r = run_x91(dir_.path(), {"-t", "good.x91", "b.x91", "a.wav", "none.x91"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "good.x91: ok (no checksum)\n"
              "b.x91: damaged: ends without its end marker\n"
              "a.wav: unreadable: not an x91 file\n"
              "none.x91: unreadable: cannot open: No such file or directory\n");
    EXPECT_EQ(r.err, "");
    const RunResult quiet = run_x91(dir_.path(), {"-t", "--quiet", "good.x91", "b.x91"});
    EXPECT_EQ(quiet.out, "b.x91: damaged: ends without its end marker\n");
}

// --- -j -----------------------------------------------------------------------

TEST(JobsTest, ParallelRunGivesTheSequentialOutputs) {
    ScratchDir seq, par;
    std::vector<std::string> args;
    for (int k = 0; k < 4; ++k) {
        const std::string name = std::string("f").append(std::to_string(k)).append(".wav");
        const Bytes wav = make_wav(music_like_signal((k + 1) * 14112 + 100 * k, 20 + k));
        write_file(seq.file(name), wav);
        write_file(par.file(name), wav);
        args.push_back(name);
    }
    // Arguments that depend on earlier ones: the encoded f0 is decoded, and
    // f1.wav is encoded a second time over its own earlier output.
    args.insert(args.end(), {"f0.x91", "f1.wav"});
    const RunResult s = run_x91(seq.path(), args);
    ASSERT_EQ(s.status, 0) << s.err;
    std::vector<std::string> par_args = {"-j", "2"};
    par_args.insert(par_args.end(), args.begin(), args.end());
    const RunResult p = run_x91(par.path(), par_args);
    ASSERT_EQ(p.status, 0) << p.err;

    const auto names = list_dir(seq.path());
    ASSERT_EQ(list_dir(par.path()), names);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(read_file(par.file(name)), read_file(seq.file(name)));
    }
    // One line per finished conversion, no progress redraws.
    EXPECT_EQ(p.out.find('\r'), std::string::npos);
    EXPECT_EQ(std::count(p.out.begin(), p.out.end(), '\n'), 6) << p.out;
    EXPECT_NE(p.out.find("encoding : 'f2.wav' to : 'f2.x91' done.  1 seconds  [ avg bitrate : "),
              std::string::npos)
        << p.out;
    EXPECT_NE(p.out.find("decoding : 'f0.x91' to : 'f0.x91.wav' done."), std::string::npos);
}

TEST(JobsTest, FailuresInAParallelRunAreReportedWhole) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(tone_signal(3000, 440.0, 0.3)));
    const RunResult r = run_x91(dir.path(), {"-j", "3", "missing.wav", "a.wav", "notes.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(file_exists(dir.file("a.x91")));
    EXPECT_NE(r.err.find("x91: missing.wav: cannot open: No such file or directory\n"),
              std::string::npos);
    EXPECT_NE(r.err.find("x91: notes.txt: not an audio or .x91 name, skipped\n"),
              std::string::npos);
    EXPECT_EQ(r.out.rfind("encoding : 'a.wav' to : 'a.x91' done.  0 seconds  [ avg bitrate : ", 0),
              0u)
        << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

// A dependency is on the file, whatever the spelling: "link/a.x91" with
// link -> . is the a.x91 the encode writes, so its decode waits for it and
// never reads the stale a.x91 that was there before.
TEST(JobsTest, DependenciesFollowFilesNotSpellings) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(10 * 44100, 21)));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "a.wav", "a.x91"}).status, 0);
    const Bytes fresh = read_file(dir.file("a.x91.wav"));
    ASSERT_EQ(symlink(".", dir.file("link").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
    for (const char* spelling : {"link/a.x91", "sub/../a.x91", "./a.x91"}) {
        SCOPED_TRACE(spelling);
        write_file(dir.file("stale.wav"), make_wav(tone_signal(14112, 440.0, 0.3)));
        ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "a.x91", "stale.wav"}).status, 0);
        const RunResult r = run_x91(dir.path(), {"--quiet", "-j", "2", "a.wav", spelling});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file(dir.file("a.x91.wav")), fresh);
    }
}

// Where no further thread can start (here: every new thread's stack is
// larger than the memory there is), the jobs share the threads there are
// instead of ending the run with an uncaught exception.
TEST(JobsTest, ThreadsThatCannotStartLeaveTheWorkToTheOthers) {
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer's runtime lays out its shadow memory at fixed places,
    // and under such a stack limit the command dies before it starts.
    GTEST_SKIP() << "a ThreadSanitizer build cannot start under a huge stack limit";
#endif
    // A 64 TiB stack limit: each new thread's stack is reserved at that size.
    constexpr rlim_t kHugeStack = rlim_t{64} << 40;
    rlimit stack{};
    ASSERT_EQ(getrlimit(RLIMIT_STACK, &stack), 0);
    if (stack.rlim_max != RLIM_INFINITY && stack.rlim_max < kHugeStack)
        GTEST_SKIP() << "the stack limit cannot be raised far enough here";
    ScratchDir seq, par;
    std::vector<std::string> names;
    for (int k = 0; k < 4; ++k) {
        const std::string name = std::to_string(k) + "f.wav";
        write_file(seq.file(name), make_wav(music_like_signal(14112 + 300 * k, 30 + k)));
        write_file(par.file(name), read_file(seq.file(name)));
        names.push_back(name);
    }
    ASSERT_EQ(run_x91(seq.path(), names).status, 0);
    std::vector<std::string> args = {"-j", "4"};
    args.insert(args.end(), names.begin(), names.end());
    const RunResult r =
        run_x91(par.path(), args, "ulimit -s " + std::to_string(kHugeStack / 1024) + "; ");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const std::string& name : list_dir(seq.path()))
        EXPECT_EQ(read_file(par.file(name)), read_file(seq.file(name))) << name;
}

}  // namespace
