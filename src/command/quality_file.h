// The optional quality file: one percentage that rescales two stored settings.
#pragma once

#include <iosfwd>
#include <string>

#include "x91/constants.h"

namespace x91::cli {

inline constexpr const char* QUALITY_FILE = "./enc_quality.ini";

// The number at the start of the file (after white space), read with the
// ordinary formatted extraction; 0 when the file does not open or holds no
// readable number. Anything but a regular file (a FIFO, a directory, a
// device) is not read: 0, with a warning line on err.
float read_quality_file(const std::string& path, std::ostream& err);

// "Encoding Quality : <q> %" and an empty line.
void print_quality_line(std::ostream& out, float q);

// Whether q is a quality the encoder takes: X91_QUALITY_MIN to
// X91_QUALITY_MAX percent.
bool quality_in_range(double q);

// The whole start-up step: reads the quality file at path and, for a q in
// range, prints the quality line to out and returns q for the encoder. A q
// of 0 or less (or no number) gives 0 silently, for the default; a positive
// q out of range gives 0 with one line on err.
float use_quality_file(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace x91::cli
