#include "command/file_names.h"

#include "format/settings.h"

namespace x91::cli {

namespace {

const char* const kWaveSuffix = ".wav";
constexpr std::size_t kWaveSuffixLength = 4;

std::string x91_suffix() {
    return std::string(".") + XFileExt;
}

}  // namespace

bool is_std_stream(const std::string& name) {
    return name == kStdStreamName;
}

bool suffix(std::string str, std::string text) {
    return text.size() <= str.size() &&
           str.compare(str.size() - text.size(), text.size(), text) == 0;
}

bool is_wave_name(const std::string& name) {
    return suffix(name, kWaveSuffix);
}

bool is_x91_name(const std::string& name) {
    return suffix(name, x91_suffix());
}

std::string directory_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string base_name_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string x91_output_name(const std::string& wave_name) {
    return wave_name.substr(0, wave_name.size() - kWaveSuffixLength) + x91_suffix();
}

std::string wave_output_name(const std::string& x91_name) {
    return x91_name + kWaveSuffix;
}

}  // namespace x91::cli
