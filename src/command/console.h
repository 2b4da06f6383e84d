// Where a conversion's messages go: progress and the conversion lines on one
// stream (standard output unless the audio itself goes there), problems on
// standard error as one line naming the file and the reason.
#pragma once

#include <iosfwd>
#include <string>

namespace x91::cli {

struct Console {
    std::ostream* progress;  // null: no progress or conversion lines at all
    std::ostream* errors;

    // Standard output for progress, standard error for problems.
    static Console standard();

    // "x91: <file>: <reason>" on the error stream.
    void problem(const std::string& file, const std::string& reason) const;
    // The same for damage that still let the conversion produce output.
    void warning(const std::string& file, const std::string& reason) const;
};

}  // namespace x91::cli
