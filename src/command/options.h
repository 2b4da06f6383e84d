// The command line's options, read before the file names.
#pragma once

#include <string>
#include <vector>

namespace x91::cli {

struct Options {
    bool help = false;
    bool version = false;
    bool quiet = false;
    bool test = false;
    bool quality_given = false;
    float quality = 0.0f;
    bool output_given = false;
    std::string output;
    int jobs = 1;
    std::vector<std::string> files;
};

// The most conversions -j runs at once.
inline constexpr int kMaxJobs = 64;

struct ParsedOptions {
    Options options;
    // Empty when the command line is usable; otherwise the reason, without
    // the "x91: " prefix.
    std::string error;
    // The usage goes with the reason: the command line's form is wrong, not
    // just one value.
    bool show_usage = false;
};

// Options come first; the first argument that does not start with '-', a
// lone "-" (standard input) or "--" ends them, and everything after is a
// file name. -h or -V ends the parse at once.
ParsedOptions parse_options(int argc, const char* const* argv);

std::string usage_text();

}  // namespace x91::cli
