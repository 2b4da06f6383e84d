// The cover images of a folder, copied into its mirror as they are.
#pragma once

#include <string>

#include "x91/status.h"

namespace x91::cli {

// Copies the file in to out through a temporary file renamed over out when
// complete (see Output), so an interrupted copy leaves no broken image: ok,
// read_failed "cannot read: <reason>", or write_failed.
Result copy_cover(const std::string& in, const std::string& out);

}  // namespace x91::cli
