// File-name helpers of the command line: standard streams, suffix test and
// output names.
#pragma once

#include <string>

namespace x91::cli {

// The name that stands for standard input as an input and for standard
// output as an output.
inline constexpr const char* kStdStreamName = "-";

bool is_std_stream(const std::string& name);

// True when str ends with text, compared exactly and case-sensitively; an
// empty text matches every string.
bool suffix(std::string str, std::string text);

// Names ending in ".wav" are encoded, names ending in ".x91" decoded.
bool is_wave_name(const std::string& name);
bool is_x91_name(const std::string& name);
// Names of every input x91 encodes: ".wav" (exactly, as always), and
// ".flac", ".aif", ".aiff", ".aifc", ".rf64", ".w64" in any case.
bool is_audio_name(const std::string& name);

// "dir/sub/" for "dir/sub/name", "" for a name without a directory.
std::string directory_of(const std::string& path);
// "name" for "dir/sub/name".
std::string base_name_of(const std::string& path);

// song.wav -> song.x91, SONG.FLAC -> SONG.x91 (".wav" alone gives ".x91").
// Expects is_audio_name(name).
std::string x91_output_name(const std::string& audio_name);
// song.x91 -> song.x91.wav: the input name is kept whole.
std::string wave_output_name(const std::string& x91_name);

}  // namespace x91::cli
