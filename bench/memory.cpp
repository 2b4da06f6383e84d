// Peak memory of the real x91 command on three minutes of generated music,
// on one and on two threads, from and to files and through pipes; and of a
// three-hour stream decoded through a pipe, read once from its start. Each
// conversion runs once, under GNU time (Debian package time), whose figure
// is the counter "peak_MiB": a child started from this process directly
// would count this process's own peak, which its memory shares until exec.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music_signal.h"

namespace x91 {

namespace {

constexpr int kSeconds = 180;

void put32(std::vector<unsigned char>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::vector<unsigned char> wav_of(const std::vector<unsigned char>& pcm) {
    std::vector<unsigned char> wav;
    const auto id = [&](const char* s) {
        for (int i = 0; i < 4; ++i) wav.push_back(static_cast<unsigned char>(s[i]));
    };
    id("RIFF");
    put32(wav, static_cast<std::uint32_t>(36 + pcm.size()));
    id("WAVE");
    id("fmt ");
    put32(wav, 16);
    put32(wav, 1 | 2 << 16);  // PCM, two channels
    put32(wav, 44100);
    put32(wav, 44100 * 4);
    put32(wav, 4 | 16 << 16);  // 4 bytes a frame, 16 bits
    id("data");
    put32(wav, static_cast<std::uint32_t>(pcm.size()));
    wav.insert(wav.end(), pcm.begin(), pcm.end());
    return wav;
}

constexpr const char* kTime = "/usr/bin/time";

// Runs x91 with args, its standard input fed `input` through a pipe (none
// when empty) and its standard output thrown away; its peak resident set in
// KiB as GNU time reports it, or -1 when it did not succeed.
long run_x91(const std::vector<std::string>& args, const std::vector<unsigned char>& input,
             const std::string& report) {
    std::vector<std::string> all = {kTime, "-f", "%M", "-o", report, X91_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int pipe_fds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (!input.empty()) {
        if (pipe(pipe_fds) != 0) return -1;
        posix_spawn_file_actions_adddup2(&actions, pipe_fds[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
    }
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, kTime, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (!input.empty()) {
        close(pipe_fds[0]);
        for (std::size_t at = 0; spawned == 0 && at < input.size();) {
            const ssize_t n = write(pipe_fds[1], input.data() + at, input.size() - at);
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
        close(pipe_fds[1]);
    }
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    long kib = -1;
    if (std::FILE* f = std::fopen(report.c_str(), "r")) {
        if (std::fscanf(f, "%ld", &kib) != 1) kib = -1;
        std::fclose(f);
    }
    return kib;
}

struct Inputs {
    std::string dir, wav_name, x91_name;
    std::vector<unsigned char> wav, x91;
    std::vector<unsigned char> long_x91;  // three hours, without the block
};

constexpr std::size_t kHeaderBytes = 62;

// The packets of the three-minute file sixty times over behind its header,
// and the end marker: a three-hour stream for a decoder that reads it once.
std::vector<unsigned char> three_hours_of(const std::vector<unsigned char>& x91) {
    std::size_t end = kHeaderBytes;
    while (end + 4 <= x91.size()) {
        const std::uint32_t count = x91[end] | x91[end + 1] << 8 | x91[end + 2] << 16 |
                                    static_cast<std::uint32_t>(x91[end + 3]) << 24;
        if (count == 0) break;
        end += 4 + count;
    }
    std::vector<unsigned char> stream(x91.begin(), x91.begin() + kHeaderBytes);
    for (int copy = 0; copy < 3 * 3600 / kSeconds; ++copy)
        stream.insert(stream.end(), x91.begin() + kHeaderBytes, x91.begin() + end);
    stream.resize(stream.size() + 4, 0);
    return stream;
}

std::vector<unsigned char> read_all(const std::string& name) {
    std::vector<unsigned char> bytes;
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<unsigned char>(c));
        std::fclose(f);
    }
    return bytes;
}

// The music as a WAV file and as the x91 file one thread makes of it.
const Inputs& inputs() {
    static const Inputs made = [] {
        Inputs in;
        char dir[] = "/tmp/x91-memory-XXXXXX";
        if (mkdtemp(dir) == nullptr) std::abort();
        in.dir = dir;
        in.wav_name = in.dir + "/music.wav";
        in.x91_name = in.dir + "/music.x91";
        in.wav = wav_of(music_pcm(kSeconds));
        std::FILE* f = std::fopen(in.wav_name.c_str(), "wb");
        if (f == nullptr || std::fwrite(in.wav.data(), 1, in.wav.size(), f) != in.wav.size())
            std::abort();
        std::fclose(f);
        if (run_x91({"--quiet", "-j", "1", "-o", in.x91_name, in.wav_name}, {}, in.dir + "/time") <
            0)
            std::abort();
        in.x91 = read_all(in.x91_name);
        in.long_x91 = three_hours_of(in.x91);
        return in;
    }();
    return made;
}

void BM_PeakMemory(benchmark::State& state, bool encode, bool piped) {
    const Inputs& in = inputs();
    const std::string threads = std::to_string(state.range(0));
    const std::string out = in.dir + (encode ? "/out.x91" : "/out.wav");
    const std::vector<unsigned char>& source = encode ? in.wav : in.x91;
    const std::vector<std::string> args =
        piped ? std::vector<std::string>{"--quiet", "-j", threads, "-o", "-", "-"}
              : std::vector<std::string>{"--quiet", "-j", threads,
                                         "-o",      out,  encode ? in.wav_name : in.x91_name};
    long peak_kb = 0;
    for (auto _ : state)
        peak_kb = run_x91(args, piped ? source : std::vector<unsigned char>{}, in.dir + "/time");
    if (peak_kb < 0) state.SkipWithError("x91 failed, or /usr/bin/time is missing");
    state.counters["peak_MiB"] = static_cast<double>(peak_kb) / 1024.0;
}

}  // namespace

// The goal: within 32 MiB, whatever the stream's length.
void BM_PeakMemoryThreeHourPipe(benchmark::State& state) {
    const Inputs& in = inputs();
    const std::string threads = std::to_string(state.range(0));
    long peak_kb = 0;
    for (auto _ : state)
        peak_kb =
            run_x91({"--quiet", "-j", threads, "-o", "-", "-"}, in.long_x91, in.dir + "/time");
    if (peak_kb < 0) state.SkipWithError("x91 failed, or /usr/bin/time is missing");
    state.counters["peak_MiB"] = static_cast<double>(peak_kb) / 1024.0;
}

BENCHMARK_CAPTURE(BM_PeakMemory, encode_file, true, false)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakMemory, encode_pipe, true, true)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakMemory, decode_file, false, false)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakMemory, decode_pipe, false, true)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_PeakMemoryThreeHourPipe)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace x91

BENCHMARK_MAIN();
