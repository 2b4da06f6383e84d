// --skip-existing: whether an output already holds the conversion of its
// input.
#pragma once

#include <string>

namespace x91::cli {

// True when output exists and was last changed no earlier than input (to
// the nanosecond the file system keeps): a rerun over a converted tree then
// touches nothing. False when either cannot be looked at.
bool output_up_to_date(const std::string& input, const std::string& output);

}  // namespace x91::cli
