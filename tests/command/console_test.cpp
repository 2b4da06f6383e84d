// How the command meets the person at the console: options anywhere among
// the file names, progress that suits where it goes, and "done." only for
// an output that is safely in place.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// A progress line, as it ends.
const std::string kProgressEnd = " bits/sec ]  \r";

// Options after or between file names act as they do before them.
TEST(ConsoleTest, OptionsMayFollowTheFileNames) {
    const Bytes wav = make_wav(music_like_signal(14112 + 500, 14));
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> options_first;
    } cases[] = {
        {{"a.wav", "-q", "50"}, {"-q", "50", "a.wav"}},
        {{"a.wav", "--quiet", "a.x91"}, {"--quiet", "a.wav", "a.x91"}},
        {{"a.wav", "-o", "x.x91"}, {"-o", "x.x91", "a.wav"}},
        {{"a.wav", "a.x91", "-j2"}, {"-j2", "a.wav", "a.x91"}},
        {{"a.wav", "--", "-q"}, {"--", "a.wav", "-q"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        ScratchDir given, first;
        write_file(given.file("a.wav"), wav);
        write_file(first.file("a.wav"), wav);
        const RunResult r = run_x91(given.path(), c.args);
        const RunResult expected = run_x91(first.path(), c.options_first);
        EXPECT_EQ(r.status, expected.status);
        EXPECT_EQ(r.out, expected.out);
        EXPECT_EQ(r.err, expected.err);
        const std::vector<std::string> names = list_dir(first.path());
        ASSERT_EQ(list_dir(given.path()), names);
        for (const std::string& name : names)
            EXPECT_EQ(read_file(given.file(name)), read_file(first.file(name))) << name;
    }
}

// In a log or a pipe a progress line per block is only noise: each file
// gets its last state, once, and the texts stay as they are.
TEST(ConsoleTest, ProgressAwayFromATerminalIsOneLinePerFile) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(10 * 44100, 15)));
    const RunResult r = run_x91(dir.path(), {"a.wav", "a.x91"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count_of(r.out, kProgressEnd), 2u) << r.out;
    EXPECT_NE(r.out.find("encoding : 'a.wav' to : 'a.x91'\n10 seconds  [ avg bitrate : "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(kProgressEnd + "\ndone.\ndecoding : 'a.x91' to : 'a.x91.wav'\n10 seconds"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 7), "\ndone.\n");
}

// On a terminal the line is redrawn, but no more than ten times a second
// (and once more at the end): a bound that holds however fast the machine.
TEST(ConsoleTest, ProgressOnATerminalIsRedrawnAtMostTenTimesASecond) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(60 * 44100, 16)));
    const auto start = std::chrono::steady_clock::now();
    const RunResult r = run_x91_on_terminal(dir.path(), {"a.wav"});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(r.status, 0) << r.out;
    const std::size_t redraws = count_of(r.out, kProgressEnd);
    EXPECT_GE(redraws, 1u);
    EXPECT_LE(static_cast<double>(redraws), 10.0 * seconds + 2.0)
        << redraws << " redraws in " << seconds << " s";
    EXPECT_NE(r.out.find("60 seconds  [ avg bitrate : "), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 7), "\ndone.\n");
}

// "done." follows only an output that is closed and in place, never a
// write that failed on the way.
TEST(ConsoleTest, DoneOnlyOnceTheOutputIsSafe) {
    ScratchDir dir;
    write_file(dir.file("a.wav"), make_wav(music_like_signal(3 * 44100, 17)));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "a.wav"}).status, 0);
    const struct {
        const char* script;
        const char* failure;
    } cases[] = {
        {"\"$X91\" -o - a.x91 | head -c 100 > /dev/null", "x91: -: write failed: Broken pipe"},
        {"ulimit -f 64; \"$X91\" a.x91", "x91: a.x91.wav: write failed: File too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const RunResult r = run_shell(dir.path(), std::string("set -o pipefail; ") + c.script);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.failure), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("done."), std::string::npos) << r.out;
        EXPECT_EQ(r.err.find("done."), std::string::npos) << r.err;
    }
}

}  // namespace
