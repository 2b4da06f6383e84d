// The optional quality file: one percentage that rescales two stored settings.
#pragma once

#include <iosfwd>
#include <string>

#include "format/quality.h"
#include "format/settings.h"

namespace x91::cli {

inline constexpr const char* QUALITY_FILE = "./enc_quality.ini";

// The number at the start of the file (after white space), read with the
// ordinary formatted extraction; 0 when the file does not open or holds no
// readable number. Anything but a regular file (a FIFO, a directory, a
// device) is not read: 0, with a warning line on err.
float read_quality_file(const std::string& path, std::ostream& err);

// "Encoding Quality : <q> %" and an empty line.
void print_quality_line(std::ostream& out, float q);

// The whole start-up step: reads the quality file at path and, for a q in
// range, rescales settings and prints the quality line to out. A q of 0 or
// less (or no number) keeps the settings silently; a positive q out of range
// keeps them with one line on err. Returns the q applied, 0 if none.
float use_quality_file(const std::string& path, da_ISettings& settings, std::ostream& out,
                       std::ostream& err);

}  // namespace x91::cli
