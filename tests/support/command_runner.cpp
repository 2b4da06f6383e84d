#include "support/command_runner.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <gtest/gtest.h>

namespace x91test {

namespace {

std::string shell_quote(const std::string& s) {
    std::string quoted = "'";
    for (char c : s) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void remove_tree(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (dir) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            const std::string child = path + "/" + name;
            struct stat st {};
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                chmod(child.c_str(), 0755);
                remove_tree(child);
            } else {
                unlink(child.c_str());
            }
        }
        closedir(dir);
    }
    rmdir(path.c_str());
}

}  // namespace

ScratchDir::ScratchDir() {
    std::string pattern = ::testing::TempDir() + "x91test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() { remove_tree(path_); }

RunResult run_x91(const std::string& dir, const std::vector<std::string>& args,
                  const std::string& shell_prefix) {
    // Appended piece by piece: GCC 12 misreads `"literal" + std::string&&`
    // as an overlapping copy and warns.
    std::string command = "cd ";
    command += shell_quote(dir);
    command += " && ";
    command += shell_prefix;
    command += shell_quote(X91_BINARY);
    for (const auto& a : args) {
        command += ' ';
        command += shell_quote(a);
    }
    const std::string out_path = dir + "/.stdout";
    const std::string err_path = dir + "/.stderr";
    command += " >";
    command += shell_quote(out_path);
    command += " 2>";
    command += shell_quote(err_path);
    command += " </dev/null";
    const int raw = std::system(command.c_str());
    RunResult result;
    if (WIFEXITED(raw))
        result.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw))
        result.status = 128 + WTERMSIG(raw);
    result.out = slurp(out_path);
    result.err = slurp(err_path);
    unlink(out_path.c_str());
    unlink(err_path.c_str());
    return result;
}

std::vector<unsigned char> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_dir(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

void put16(std::vector<unsigned char>& v, unsigned x) {
    v.push_back(static_cast<unsigned char>(x & 0xFF));
    v.push_back(static_cast<unsigned char>((x >> 8) & 0xFF));
}

void put32(std::vector<unsigned char>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<unsigned char>(x >> (8 * i)));
}

}  // namespace

std::vector<unsigned char> make_wav(const Pcm& samples, int channels, int rate, int bits, int format_tag) {
    const int block_align = channels * bits / 8;
    const std::uint32_t data_bytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<unsigned char> v = {'R', 'I', 'F', 'F'};
    put32(v, 36 + data_bytes);
    v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(v, 16);
    put16(v, static_cast<unsigned>(format_tag));
    put16(v, static_cast<unsigned>(channels));
    put32(v, static_cast<std::uint32_t>(rate));
    put32(v, static_cast<std::uint32_t>(rate * block_align));
    put16(v, static_cast<unsigned>(block_align));
    put16(v, static_cast<unsigned>(bits));
    v.insert(v.end(), {'d', 'a', 't', 'a'});
    put32(v, data_bytes);
    for (std::int16_t s : samples) put16(v, static_cast<std::uint16_t>(s));
    return v;
}

Pcm wav_samples(const std::vector<unsigned char>& wav) {
    Pcm samples;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(wav[i] | (wav[i + 1] << 8)));
    return samples;
}

std::uint32_t le32(const std::vector<unsigned char>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

}  // namespace x91test
