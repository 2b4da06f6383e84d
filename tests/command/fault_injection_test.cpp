// Faults from outside around the real x91 command: a full disk while
// decoding, a read-only output directory, an input that shrinks while it is
// read, memory that runs out, and signals in the middle of a conversion.
// Whatever happens, an existing output survives untouched and no temporary
// file stays.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/audio_files.h"
#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr int kBlock = 882;
constexpr std::size_t kHeader = 62;

const Bytes kOld = {'o', 'l', 'd'};

// A long x91 file made cheaply: the packets of a short encode, the last one
// repeated. A packet decodes the same wherever it stands, so the result is a
// valid file of `packets` packets.
Bytes long_x91(int packets) {
    ScratchDir dir;
    write_file(dir.file("s.wav"), make_wav(music_like_signal(30 * kBlock, 4)));
    EXPECT_EQ(run_x91(dir.path(), {"s.wav"}).status, 0);
    const Bytes x91 = read_file(dir.file("s.x91"));
    if (x91.size() < kHeader + 8) {
        ADD_FAILURE() << "the encode this starts from failed";
        return {};
    }
    const std::uint32_t first = le32(x91, kHeader);
    const std::size_t second_at = kHeader + 4 + first;
    const std::uint32_t second = le32(x91, second_at);
    Bytes out(x91.begin(), x91.begin() + static_cast<long>(second_at));
    for (int p = 1; p < packets; ++p)
        out.insert(out.end(), x91.begin() + static_cast<long>(second_at),
                   x91.begin() + static_cast<long>(second_at + 4 + second));
    out.insert(out.end(), {0, 0, 0, 0});
    return out;
}

// Two minutes of audio: long enough that a conversion is surely still
// running when the test has seen its temporary file and stopped it.
Bytes long_wav() {
    return make_wav(music_like_signal(120 * 44100, 8));
}

// x91 started in the background, so that the test can act on it mid-run.
class Background {
  public:
    // With ignored_signal, the process starts with that signal ignored.
    Background(const std::string& dir, const std::vector<std::string>& args,
               const std::string& logs, int ignored_signal = 0)
        : dir_(dir), logs_(logs) {
        pid_ = fork();
        if (pid_ == 0) {
            if (ignored_signal != 0) signal(ignored_signal, SIG_IGN);
            if (chdir(dir.c_str()) != 0) _exit(126);
            const int out = open((logs + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open((logs + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int in = open("/dev/null", O_RDONLY);
            if (out < 0 || err < 0 || in < 0) _exit(126);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(X91_BINARY));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(X91_BINARY, argv.data());
            _exit(127);
        }
    }
    ~Background() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            wait();
        }
    }

    pid_t pid() const { return pid_; }

    // True once the process has ended; then status() holds its result.
    bool ended() {
        if (status_ >= 0) return true;
        int raw = 0;
        if (waitpid(pid_, &raw, WNOHANG) != pid_) return false;
        record(raw);
        return true;
    }

    int wait() {
        if (status_ >= 0) return status_;
        int raw = 0;
        if (waitpid(pid_, &raw, 0) == pid_) record(raw);
        return status_;
    }

    int status() const { return status_; }
    std::string err() const {
        std::ifstream in(logs_ + "/err");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Waits until the temporary output of `target` exists, then stops the
    // process there. False if the process ended first.
    bool stop_once_writing(const std::string& target) {
        const std::string prefix = "." + target + ".";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const std::string& name : list_dir(dir_)) {
                if (name.rfind(prefix, 0) == 0) {
                    kill(pid_, SIGSTOP);
                    return !ended();
                }
            }
            // No sleep: the sooner the stop, the likelier it lands right
            // where the file has just been created.
            if (ended()) return false;
        }
        return false;
    }

  private:
    void record(int raw) {
        if (WIFEXITED(raw))
            status_ = WEXITSTATUS(raw);
        else if (WIFSIGNALED(raw))
            status_ = 128 + WTERMSIG(raw);
    }

    std::string dir_;
    std::string logs_;
    pid_t pid_ = -1;
    int status_ = -1;
};

std::vector<std::string> hidden_files(const std::string& dir) {
    std::vector<std::string> hidden;
    for (const std::string& name : list_dir(dir))
        if (name[0] == '.') hidden.push_back(name);
    return hidden;
}

// The byte offset the process has reached in the open file `path`.
long long read_offset(pid_t pid, const std::string& file) {
    // The links under /proc name files by their resolved path.
    char resolved[PATH_MAX];
    if (!realpath(file.c_str(), resolved)) return -1;
    const std::string path = resolved;
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const std::string& fd : list_dir(fds)) {
        char target[4096];
        const ssize_t n = readlink((fds + "/" + fd).c_str(), target, sizeof target - 1);
        if (n <= 0 || std::string(target, static_cast<std::size_t>(n)) != path) continue;
        std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + fd);
        std::string key;
        long long pos = -1;
        while (info >> key)
            if (key == "pos:" && info >> pos) return pos;
    }
    return -1;
}

TEST(FaultInjectionTest, FullDiskWhileDecodingLeavesNoPartialFileAndKeepsTheOldOne) {
    // The system's reason reaches the message, through libsndfile too.
    for (const std::string output : {"a.x91.wav", "a.flac"}) {
        SCOPED_TRACE(output);
        ScratchDir dir;
        write_file(dir.file("a.x91"), long_x91(8));
        write_file(dir.file(output), kOld);
        // 64 KiB of file size allowed; the decoded audio is over 400 KiB.
        const RunResult r = run_x91(dir.path(), {"-o", output, "a.x91"}, "ulimit -f 64; ");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "x91: " + output + ": write failed: File too large\n");
        EXPECT_EQ(read_file(dir.file(output)), kOld);
        EXPECT_EQ(list_dir(dir.path()).size(), 2u);
    }
}

// Runs `x91 args` with `subdir` of `dir` mounted read-only in a private mount
// namespace, which binds root as well. Returns false if this system does not
// allow it (no privilege to create the namespace).
bool read_only_mount_works(const std::string& dir) {
    const std::string probe = "cd '" + dir +
                              "' && mkdir -p probe && unshare -m sh -c "
                              "'mount --bind probe probe && mount -o remount,ro,bind probe probe' "
                              ">/dev/null 2>&1";
    const bool works = std::system(probe.c_str()) == 0;
    rmdir((dir + "/probe").c_str());
    return works;
}

TEST(FaultInjectionTest, ReadOnlyOutputDirectoryIsReportedForBothDirections) {
    ScratchDir dir;
    ASSERT_EQ(mkdir(dir.file("ro").c_str(), 0755), 0);
    write_file(dir.file("ro/a.wav"), make_wav(tone_signal(20000, 440.0, 0.3)));
    write_file(dir.file("ro/b.x91"), long_x91(2));
    std::string prefix;
    std::string reason;
    if (geteuid() == 0) {
        if (!read_only_mount_works(dir.path()))
            GTEST_SKIP() << "no read-only bind mount for root here";
        prefix =
            "unshare -m sh -c 'mount --bind ro ro && mount -o remount,ro,bind ro ro && exec \"$0\" "
            "\"$@\"' ";
        reason = "Read-only file system";
    } else {
        ASSERT_EQ(chmod(dir.file("ro").c_str(), 0555), 0);
        reason = "Permission denied";
    }
    const RunResult r = run_x91(dir.path(), {"ro/a.wav", "ro/b.x91"}, prefix);
    chmod(dir.file("ro").c_str(), 0755);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "x91: ro/a.x91: cannot write: " + reason +
                         "\nx91: ro/b.x91.wav: cannot write: " + reason + "\n");
    EXPECT_EQ(list_dir(dir.file("ro")), (std::vector<std::string>{"a.wav", "b.x91"}));
}

TEST(FaultInjectionTest, InputCutShortWhileEncodingIsAFailureWithoutOutput) {
    // A CD WAV through the own reader, a FLAC file through libsndfile.
    ScratchDir dir;
    write_file(dir.file("a.wav"), long_wav());
    ASSERT_TRUE(write_pcm16(dir.file("a.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100,
                            music_like_signal(120 * 44100, 8)));
    for (const std::string input : {"a.wav", "a.flac"}) {
        SCOPED_TRACE(input);
        ScratchDir logs;
        write_file(dir.file("a.x91"), kOld);
        const auto size = static_cast<long long>(read_file(dir.file(input)).size());
        Background x91(dir.path(), {input}, logs.path());
        ASSERT_TRUE(x91.stop_once_writing("a.x91"))
            << "finished before it could be stopped: " << x91.err();
        // Cut the input a little beyond where the reader stands, as a process
        // truncating the file would.
        const long long at = read_offset(x91.pid(), dir.file(input));
        ASSERT_GE(at, 0);
        ASSERT_LT(at + 100000, size);
        ASSERT_EQ(truncate(dir.file(input).c_str(), at + 100000), 0);
        kill(x91.pid(), SIGCONT);
        EXPECT_EQ(x91.wait(), 1);
        EXPECT_EQ(x91.err(),
                  "x91: " + input + ": read failed: the file was cut short while it was read\n");
        EXPECT_EQ(read_file(dir.file("a.x91")), kOld);
        EXPECT_EQ(hidden_files(dir.path()), std::vector<std::string>{});
    }
}

TEST(FaultInjectionTest, SignalAsTheTemporaryFileAppearsStillRemovesIt) {
    // The moment after the temporary file is created and before the signal
    // handler knows its name was once a gap that left the file behind.
    ScratchDir dir;
    ScratchDir logs;
    write_file(dir.file("a.wav"), long_wav());
    for (int attempt = 0; attempt < 100; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        Background x91(dir.path(), {"a.wav"}, logs.path());
        ASSERT_TRUE(x91.stop_once_writing("a.x91")) << x91.err();
        kill(x91.pid(), SIGTERM);
        kill(x91.pid(), SIGCONT);
        EXPECT_EQ(x91.wait(), 128 + SIGTERM);
        ASSERT_EQ(list_dir(dir.path()), std::vector<std::string>{"a.wav"});
    }
}

struct SignalCase {
    int signal_number;
    bool encode;
    const char* name;
};

class InterruptTest : public ::testing::TestWithParam<SignalCase> {};

TEST_P(InterruptTest, MidConversionEndsWithTheSignalStatusAndLeavesNothing) {
    const SignalCase c = GetParam();
    ScratchDir dir;
    ScratchDir logs;
    const std::string input = c.encode ? "a.wav" : "a.x91";
    const std::string output = c.encode ? "a.x91" : "a.x91.wav";
    write_file(dir.file(input), c.encode ? long_wav() : long_x91(400));
    write_file(dir.file(output), kOld);
    Background x91(dir.path(), {input}, logs.path());
    ASSERT_TRUE(x91.stop_once_writing(output))
        << "finished before it could be stopped: " << x91.err();
    // The signal waits while the process is stopped and is handled as soon
    // as it runs again: mid-conversion, whatever the machine's speed.
    kill(x91.pid(), c.signal_number);
    kill(x91.pid(), SIGCONT);
    EXPECT_EQ(x91.wait(), 128 + c.signal_number);
    EXPECT_EQ(read_file(dir.file(output)), kOld);
    EXPECT_EQ(hidden_files(dir.path()), std::vector<std::string>{});
}

// Every signal whose default action ends the process; the handler is one,
// so beyond the first three the quicker decode stands for both directions.
INSTANTIATE_TEST_SUITE_P(
    Signals, InterruptTest,
    ::testing::Values(SignalCase{SIGINT, true, "SigintWhileEncoding"},
                      SignalCase{SIGTERM, true, "SigtermWhileEncoding"},
                      SignalCase{SIGQUIT, true, "SigquitWhileEncoding"},
                      SignalCase{SIGINT, false, "Sigint"}, SignalCase{SIGTERM, false, "Sigterm"},
                      SignalCase{SIGQUIT, false, "Sigquit"}, SignalCase{SIGHUP, false, "Sighup"},
                      SignalCase{SIGUSR1, false, "Sigusr1"}, SignalCase{SIGUSR2, false, "Sigusr2"},
                      SignalCase{SIGALRM, false, "Sigalrm"}, SignalCase{SIGXCPU, false, "Sigxcpu"},
                      SignalCase{SIGVTALRM, false, "Sigvtalrm"},
                      SignalCase{SIGPROF, false, "Sigprof"}, SignalCase{SIGIO, false, "Sigio"},
                      SignalCase{SIGPWR, false, "Sigpwr"}, SignalCase{SIGABRT, false, "Sigabrt"},
                      SignalCase{SIGSTKFLT, false, "Sigstkflt"},
                      SignalCase{SIGRTMIN, false, "Sigrtmin"},
                      SignalCase{SIGRTMAX, false, "Sigrtmax"}),
    [](const ::testing::TestParamInfo<SignalCase>& p) { return std::string(p.param.name); });

TEST(FaultInjectionTest, SignalIgnoredAtTheStartStaysIgnored) {
    // As nohup leaves SIGHUP: the conversion runs on to its end.
    ScratchDir dir;
    ScratchDir logs;
    write_file(dir.file("a.x91"), long_x91(400));
    Background x91(dir.path(), {"--quiet", "a.x91"}, logs.path(), SIGHUP);
    ASSERT_TRUE(x91.stop_once_writing("a.x91.wav")) << x91.err();
    kill(x91.pid(), SIGHUP);
    kill(x91.pid(), SIGCONT);
    EXPECT_EQ(x91.wait(), 0) << x91.err();
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.x91", "a.x91.wav"}));
}

// The sanitizers reserve more address space than a limit on it allows.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct MemoryCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> outputs;
};

class OutOfMemoryTest : public ::testing::TestWithParam<MemoryCase> {};

// A limit on the address space makes memory run out wherever the limit
// falls: in reading, on the coding threads, in writing. Under every limit
// from the least the program starts with to one it needs no more than, a
// run ends in success or in a clean failure: status 1 with a reason, no
// temporary file, each output whole or not there.
TEST_P(OutOfMemoryTest, EveryLimitEndsInSuccessOrACleanFailure) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers need more address space than any limit here";
    const MemoryCase& c = GetParam();
    ScratchDir dir;
    const Bytes wav = make_wav(music_like_signal(5 * 44100, 3));
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"}) write_file(dir.file(name), wav);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "a.wav"}).status, 0);
    std::vector<std::string> args = {"--quiet"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(run_x91(dir.path(), args).status, 0);
    std::vector<Bytes> whole;
    auto remove_outputs = [&] {
        for (const std::string& out : c.outputs) std::remove(dir.file(out).c_str());
    };
    for (const std::string& out : c.outputs) whole.push_back(read_file(dir.file(out)));
    remove_outputs();
    const std::vector<std::string> inputs = list_dir(dir.path());

    auto limited = [&](int kib) { return "ulimit -v " + std::to_string(kib) + "; "; };
    int kib = 2000;
    while (run_x91(dir.path(), {"-V"}, limited(kib)).status != 0 && kib < 256000) kib += 1000;
    int failures = 0;
    int out_of_memory = 0;
    for (; kib < 512000; kib += std::max(250, kib / 64)) {
        SCOPED_TRACE("ulimit -v " + std::to_string(kib));
        const RunResult r = run_x91(dir.path(), args, limited(kib));
        ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status << r.err;
        std::vector<std::string> expected = inputs;
        for (std::size_t i = 0; i < c.outputs.size(); ++i) {
            const Bytes out = read_file(dir.file(c.outputs[i]));
            if (out.empty()) continue;
            EXPECT_EQ(out, whole[i]) << c.outputs[i];
            expected.push_back(c.outputs[i]);
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(list_dir(dir.path()), expected) << r.err;
        remove_outputs();
        if (r.status == 0) break;
        ++failures;
        EXPECT_FALSE(r.err.empty() && r.out.empty());
        if ((r.err + r.out).find("out of memory") != std::string::npos) ++out_of_memory;
    }
    EXPECT_GT(failures, 0);
    EXPECT_GT(out_of_memory, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, OutOfMemoryTest,
    ::testing::Values(MemoryCase{"Encode", {"a.wav"}, {"a.x91"}},
                      MemoryCase{"Decode", {"a.x91"}, {"a.x91.wav"}},
                      MemoryCase{"Check", {"-t", "a.x91"}, {}},
                      MemoryCase{"Tuned", {"--tuned", "b.wav"}, {"b.x91"}},
                      MemoryCase{"Bitrate", {"-b", "96", "b.wav"}, {"b.x91"}},
                      MemoryCase{"FourAtOnce",
                                 {"-j", "4", "a.wav", "b.wav", "c.wav", "d.wav"},
                                 {"a.x91", "b.x91", "c.x91", "d.x91"}}),
    [](const ::testing::TestParamInfo<MemoryCase>& p) { return std::string(p.param.name); });

TEST(FaultInjectionTest, BitrateRefusesAnInputBeyondItsHoldWithinThatMemory) {
    // -b holds at most 1 GiB of audio; reading one longer to find that out
    // must not take much more. A stream of unknown length, 1.1 GB of it.
    if (kSanitized) GTEST_SKIP() << "the sanitizers need more address space than any limit here";
    ScratchDir dir;
    Bytes head = make_wav({});
    for (std::size_t at : {std::size_t{4}, head.size() - 4})
        for (int i = 0; i < 4; ++i) head[at + static_cast<std::size_t>(i)] = 0xFF;
    write_file(dir.file("head.wav"), head);
    const RunResult r = run_shell(dir.path(),
                                  "ulimit -v 1250000; { cat head.wav; head -c 1100M /dev/zero; } | "
                                  "\"$X91\" -b 96 -o a.x91 -");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "x91: -: -b holds the audio in memory, at most 101 minutes; this input is "
              "longer\n");
    EXPECT_EQ(list_dir(dir.path()), std::vector<std::string>{"head.wav"});
}

}  // namespace
