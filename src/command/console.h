// Where a conversion's problems go, and the one place where outcomes become
// messages: one line on standard error naming the file and the reason.
// (Progress and the conversion lines are the ProgressDisplay's.)
#pragma once

#include <iosfwd>
#include <string>

#include "command/conversions.h"
#include "x91/status.h"

namespace x91::cli {

struct Console {
    std::ostream* errors;

    // "x91: <file>: <reason>" on the error stream.
    void problem(const std::string& file, const std::string& reason) const;
    // The same for damage that still let the conversion produce output.
    void warning(const std::string& file, const std::string& reason) const;

    // For a conversion that succeeded, its warning if it has one; otherwise
    // one line naming the output for a failed write and the input for
    // anything else, as a warning when the output was kept.
    void report(const std::string& in, const std::string& out,
                const ConversionResult& conversion) const;
};

// Whether -t finds a file intact: with the extension block and its CRC, or
// without a block (or with one of a later version) as far as can be told.
bool check_passed(const Result& check);

// The verdict of -t on a file: "ok", "ok (no checksum)" for a file without
// the extension block, "unreadable: <reason>" for a file that cannot be
// opened or read or is not an x91 file at all (or memory ran out while it
// was read), "damaged: <reason>" for
// anything else.
std::string check_verdict(const Result& check);

}  // namespace x91::cli
