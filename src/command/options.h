// The command line's options, anywhere among the file names. Each option is
// declared once, in the option table (option_table.cpp): the parser, the
// usage text and the check of the man page all read it from there.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "command/cd_audio.h"

namespace x91::cli {

struct Options {
    bool help = false;
    bool version = false;
    bool quiet = false;
    bool test = false;
    bool plain = false;  // nothing after the end marker
    bool raw = false;    // decode every block, lead-in and padding included
    std::optional<float> quality;
    bool tuned = false;
    std::optional<double> bitrate;  // kbit/s
    std::optional<std::string> output;
    // Threads in all; without -j, files go one after another, each on
    // every processor the process may use.
    std::optional<int> jobs;
    // Tags given on the command line, in order, names in upper case; they
    // replace the input's tags of the same names.
    std::vector<Tag> tags;
    std::vector<std::string> files;
};

// The most threads -j gives (named in the texts of -j), and the most a run
// without it takes.
inline constexpr int kMaxJobs = 64;
// The bit rates -b takes, in kbit/s: CD audio itself is 1411.2.
inline constexpr double kMinBitrate = 8.0;
inline constexpr double kMaxBitrate = 1411.0;

struct OptionEntry {
    char short_name;         // given as "-q"; '\0' for a long name only
    const char* long_name;   // given as "--quality"
    const char* value_name;  // "PCT"; null for an option without a value
    const char* help;        // the usage text; '\n' starts a continuation line
    // What the value must be, for a missing one: "-q needs <needs>".
    const char* needs = nullptr;
    // A rule that names a refused value, "-q: <rule>, not '<value>'", as a
    // plain mistake without the usage; without one, a refused value is a
    // wrong command line: "-j needs <needs>" and the usage.
    const char* rule = nullptr;
    // Sets the option in the record; false when its value is refused.
    bool (*apply)(Options& options, const std::string& value) = nullptr;
    // -h and -V answer at once: nothing after them is read.
    bool answers_at_once = false;
};

// Every option, in the order of the usage text.
std::span<const OptionEntry> option_table();

struct ParsedOptions {
    Options options;
    // Empty when the command line is usable; otherwise the reason, without
    // the "x91: " prefix.
    std::string error;
    // The usage goes with the reason: the command line's form is wrong, not
    // just one value.
    bool show_usage = false;
};

// Options may stand before, between and after the file names, as in other
// GNU-style tools; "--" ends them, so every argument after it is a file
// name, and a lone "-" is a file name too (standard input). An option's
// value is attached ("-q50", "--quality=50") or the next argument.
ParsedOptions parse_options(int argc, const char* const* argv);

std::string usage_text();

}  // namespace x91::cli
