// What the command reads: named inputs that cannot seek (FIFOs,
// /dev/stdin, a shell's <(...)), directories, WAV files that leave out a pad
// byte, standard streams closed at start, and a quality file that is not a
// regular file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/encoded_pair.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

class InputTest : public EncodedPairTest {
  protected:
    InputTest() : EncodedPairTest(12) {}
};

// Read forward like standard input, for both kinds of data, including the
// bytes taken to see which kind it is.
TEST_F(InputTest, NamedInputsThatCannotSeekAreReadAsStreams) {
    const struct {
        const char* script;
        bool decode;
    } cases[] = {
        {"mkfifo f.wav; cat a.wav > f.wav & \"$X91\" -o got f.wav", false},
        {"mkfifo f.x91; cat a.x91 > f.x91 & \"$X91\" -o got f.x91", true},
        {"\"$X91\" -o got <(cat a.wav)", false},
        {"\"$X91\" -o got <(cat a.x91)", true},
        {"cat a.wav | \"$X91\" -o got /dev/stdin", false},
        {"cat a.x91 | \"$X91\" -o got /dev/stdin", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const RunResult r =
            run_shell(dir_.path(), std::string("rm -f f.wav f.x91 got; ") + c.script);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_file(dir_.file("got")), c.decode ? wav_ : x91_);
    }
}

TEST_F(InputTest, DirectoryAsInputSaysSo) {
    for (const char* name : {"d.wav", "d.x91", "d"})
        ASSERT_EQ(mkdir(dir_.file(name).c_str(), 0755), 0);
    const struct {
        std::vector<std::string> args;
        std::string out;
        std::string err;
    } cases[] = {
        {{"d.wav"}, "", "x91: d.wav: cannot open: Is a directory\n"},
        {{"d.x91"}, "", "x91: d.x91: cannot open: Is a directory\n"},
        {{"-o", "x.wav", "d"}, "", "x91: d: cannot open: Is a directory\n"},
        {{"-t", "d.x91"}, "d.x91: unreadable: cannot open: Is a directory\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult r = run_x91(dir_.path(), c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

// Some writers leave out the pad byte behind an odd-sized chunk; the id of
// the chunk that follows shows it, and the audio is found all the same.
TEST_F(InputTest, MissingPadBytesAreTolerated) {
    const Bytes wav = read_file(dir_.file("a.wav"));
    const Bytes audio(wav.begin() + 44, wav.end());
    write_file(dir_.file("nopad.wav"),
               riff({chunk("LIST", Bytes(7, 'i'), false), chunk("fmt ", cd_fmt_body()),
                     chunk("note", {'a', 'b', 'c'}, false), chunk("data", audio)}));
    const RunResult r = run_x91(dir_.path(), {"--quiet", "nopad.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir_.file("nopad.x91")), x91_);
}

// A daemon or cron may start the command with standard streams closed; the
// next files opened would take their numbers, and progress would land in
// an output. Audio for standard output itself has nowhere to go.
TEST_F(InputTest, ClosedStandardStreamsAreNeverTakenByFiles) {
    for (const char* closing : {">&-", "2>&-", "<&-", ">&- 2>&- <&-"}) {
        SCOPED_TRACE(closing);
        const RunResult r = run_shell(
            dir_.path(), std::string("rm -f a.x91 a.x91.wav; \"$X91\" a.wav a.x91 ") + closing);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file(dir_.file("a.x91")), x91_);
        EXPECT_EQ(read_file(dir_.file("a.x91.wav")), wav_);
    }
    RunResult r = run_shell(dir_.path(), "\"$X91\" -o - a.x91 >&-");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "x91: -: standard output is closed\n");
    r = run_shell(dir_.path(), "\"$X91\" -o x.x91 - <&-");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "x91: -: standard input is closed\n");
    EXPECT_FALSE(file_exists(dir_.file("x.x91")));
}

// A FIFO in the quality file's place would block the encoder forever if it
// were opened to be read; it and a directory are passed over with a warning.
TEST_F(InputTest, QualityFileThatIsNotARegularFileIsIgnored) {
    for (const char* make : {"mkfifo enc_quality.ini", "mkdir enc_quality.ini"}) {
        SCOPED_TRACE(make);
        const RunResult r = run_shell(
            dir_.path(),
            std::string(make) +
                "; timeout -s KILL 60 \"$X91\" a.wav; s=$?; rm -rf enc_quality.ini; exit $s");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "x91: ./enc_quality.ini: warning: not a regular file, ignored\n");
        EXPECT_EQ(r.out.rfind("encoding : 'a.wav'", 0), 0u) << r.out;
        EXPECT_EQ(read_file(dir_.file("a.x91")), x91_);
    }
}

}  // namespace
