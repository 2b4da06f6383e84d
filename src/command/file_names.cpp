#include "command/file_names.h"

#include <cctype>

namespace x91::cli {

namespace {

const char* const kWaveSuffix = ".wav";
// Suffixes of the other inputs, taken in any case: those libsndfile reads.
const char* const kOtherAudioSuffixes[] = {".flac", ".aif", ".aiff", ".aifc", ".rf64", ".w64"};

std::string x91_suffix() {
    return ".x91";
}

bool suffix_any_case(const std::string& str, const std::string& text) {
    if (text.size() > str.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(str[str.size() - text.size() + i]);
        if (std::tolower(c) != text[i]) return false;
    }
    return true;
}

// The length of the name's audio suffix, 0 for none.
std::size_t audio_suffix_length(const std::string& name) {
    if (is_wave_name(name)) return std::string(kWaveSuffix).size();
    for (const char* other : kOtherAudioSuffixes)
        if (suffix_any_case(name, other)) return std::string(other).size();
    return 0;
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

bool is_audio_name(const std::string& name) {
    return audio_suffix_length(name) > 0;
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

std::string x91_output_name(const std::string& audio_name) {
    return audio_name.substr(0, audio_name.size() - audio_suffix_length(audio_name)) + x91_suffix();
}

std::string wave_output_name(const std::string& x91_name) {
    return x91_name + kWaveSuffix;
}

}  // namespace x91::cli
