// Tells WAV data from x91 data by its first bytes, for inputs whose name
// does not say (standard input, or a name without a known suffix).
#pragma once

#include <cstdio>
#include <string>

#include "command/source.h"
#include "x91/status.h"

namespace x91::cli {

enum class InputKind { wave, x91, unknown };

// "RIFF" is a WAV file, "x91" an x91 file.
InputKind input_kind(const std::string& start);

// Takes up to 4 bytes from the start of stream, to be read again through a
// reader that is handed them (see Source).
std::string take_start(std::FILE* stream);

// True for a name that stands for a file read only once, such as a named
// pipe or a device: it exists and is neither a regular file nor a directory.
bool is_read_once(const std::string& name);

// Opens the named input and sees what it holds. A regular file is closed
// again and read by its name; anything else (a FIFO, /dev/stdin, a shell's
// <(...)) stays open in source, its first bytes taken, since they cannot be
// read a second time. ok, or read_failed "cannot open: <reason>".
[[nodiscard]] Result open_by_content(const std::string& name, Source& source, InputKind& kind);

}  // namespace x91::cli
