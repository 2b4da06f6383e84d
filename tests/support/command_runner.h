// Runs the real x91 command in a scratch directory and captures its output,
// and builds the WAV files the command-level tests feed it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace x91test {

// A fresh directory under the test temp dir, removed with its content.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs `x91 args...` with `dir` as working directory. `shell_prefix` is
// prepended to the command (e.g. "ulimit -v 200000; ").
RunResult run_x91(const std::string& dir, const std::vector<std::string>& args,
                  const std::string& shell_prefix = "");

std::vector<unsigned char> read_file(const std::string& path);
void write_file(const std::string& path, const std::vector<unsigned char>& bytes);
bool file_exists(const std::string& path);
// Names in `dir`, sorted, without "." and "..".
std::vector<std::string> list_dir(const std::string& dir);

// Interleaved stereo samples, left first.
using Pcm = std::vector<std::int16_t>;

// A canonical 44-byte-header WAV file with the given format fields.
std::vector<unsigned char> make_wav(const Pcm& samples, int channels = 2, int rate = 44100,
                                    int bits = 16, int format_tag = 1);
// The samples of a WAV file's data chunk (canonical layout assumed).
Pcm wav_samples(const std::vector<unsigned char>& wav);

std::uint32_t le32(const std::vector<unsigned char>& bytes, std::size_t at);

}  // namespace x91test
