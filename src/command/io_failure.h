// The Result of a failed system call on a file, with the system's reason.
#pragma once

#include <string>

#include "x91/status.h"

namespace x91::cli {

// "<what>: <reason for error>", e.g. "cannot open: No such file or
// directory"; an error of 0 (a failure the system gave no reason for) reads
// "input/output error".
Result io_failure(Status status, const std::string& what, int error);

}  // namespace x91::cli
