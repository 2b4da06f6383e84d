// Faults from outside around the real x91 command: a full disk while
// decoding, a read-only output directory, an input that shrinks while it is
// read, and SIGINT, SIGTERM or SIGQUIT in the middle of a conversion. Whatever
// happens, an existing output survives untouched and no temporary file stays.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
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
    Background(const std::string& dir, const std::vector<std::string>& args,
               const std::string& logs)
        : dir_(dir), logs_(logs) {
        pid_ = fork();
        if (pid_ == 0) {
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
    ScratchDir dir;
    write_file(dir.file("a.x91"), long_x91(8));
    write_file(dir.file("a.x91.wav"), kOld);
    // 64 KiB of file size allowed; the decoded audio is over 400 KiB.
    const RunResult r = run_x91(dir.path(), {"a.x91"}, "ulimit -f 64; ");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("x91: a.x91.wav: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(read_file(dir.file("a.x91.wav")), kOld);
    EXPECT_EQ(list_dir(dir.path()), (std::vector<std::string>{"a.x91", "a.x91.wav"}));
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
    ScratchDir dir;
    ScratchDir logs;
    const Bytes wav = long_wav();
    write_file(dir.file("a.wav"), wav);
    write_file(dir.file("a.x91"), kOld);
    Background x91(dir.path(), {"a.wav"}, logs.path());
    ASSERT_TRUE(x91.stop_once_writing("a.x91"))
        << "finished before it could be stopped: " << x91.err();
    // Cut the input a little beyond where the reader stands, as a process
    // truncating the file would.
    const long long at = read_offset(x91.pid(), dir.file("a.wav"));
    ASSERT_GE(at, 0);
    ASSERT_LT(at + 100000, static_cast<long long>(wav.size()));
    ASSERT_EQ(truncate(dir.file("a.wav").c_str(), at + 100000), 0);
    kill(x91.pid(), SIGCONT);
    EXPECT_EQ(x91.wait(), 1);
    EXPECT_EQ(x91.err(), "x91: a.wav: read failed: the file was cut short while it was read\n");
    EXPECT_EQ(read_file(dir.file("a.x91")), kOld);
    EXPECT_EQ(hidden_files(dir.path()), std::vector<std::string>{});
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

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest,
                         ::testing::Values(SignalCase{SIGINT, true}, SignalCase{SIGTERM, true},
                                           SignalCase{SIGINT, false}, SignalCase{SIGTERM, false},
                                           SignalCase{SIGQUIT, true}, SignalCase{SIGQUIT, false}),
                         [](const ::testing::TestParamInfo<SignalCase>& p) {
                             const int n = p.param.signal_number;
                             return std::string(n == SIGINT    ? "Sigint"
                                                : n == SIGTERM ? "Sigterm"
                                                               : "Sigquit") +
                                    (p.param.encode ? "WhileEncoding" : "WhileDecoding");
                         });

}  // namespace
