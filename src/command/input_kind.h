// Tells WAV data from x91 data by its first bytes, for inputs whose name
// does not say (standard input, or a name without a known suffix).
#pragma once

#include <cstdio>
#include <string>

namespace x91::cli {

enum class InputKind { wave, x91, unknown };

// "RIFF" is a WAV file, "x91" an x91 file.
InputKind input_kind(const std::string& start);

// Takes up to 4 bytes from the start of stream, to be read again through a
// reader that is handed them (see Source).
std::string take_start(std::FILE* stream);

}  // namespace x91::cli
