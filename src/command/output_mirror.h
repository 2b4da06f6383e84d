// Where a run's outputs go: beside their inputs, or in the same places of a
// mirror of the input folders under the folder of -d.
#pragma once

#include <string>

#include "x91/status.h"

namespace x91::cli {

// The decode's name for an x91 file in `format` (wav, flac, aiff, w64):
// song.x91 -> song.x91.flac beside the input, so the x91 name stays whole;
// song.x91 -> song.flac in a mirror, where no input sits beside it.
std::string decode_output_name(const std::string& x91_name, const std::string& format,
                               bool in_mirror);

// An output's place in the mirror: "DIR/rel" for the input's path `rel`
// below the folder given (or its bare name for a file given itself).
std::string mirror_path(const std::string& dir, const std::string& rel);

// Creates the folders the output goes into, as the mirror needs them: ok,
// or write_failed "cannot create folder '<path>': <reason>".
Result make_output_folders(const std::string& output);

}  // namespace x91::cli
