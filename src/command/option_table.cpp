// The options of the command line and what each one does to the options
// record.
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "command/options.h"
#include "format/quality.h"

namespace x91::cli {

namespace {

// An option without a value sets its flag.
template <bool Options::*flag>
bool set_flag(Options& o, const std::string&) {
    o.*flag = true;
    return true;
}

bool set_quality(Options& o, const std::string& text) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno != 0 || !std::isfinite(value)) return false;
    if (!quality_in_range(value)) return false;
    o.quality = value;
    return true;
}

bool set_output(Options& o, const std::string& name) {
    if (name.empty()) return false;
    o.output = name;
    return true;
}

// Digits only: no sign, no spaces, at most three of them.
bool set_jobs(Options& o, const std::string& text) {
    if (text.empty() || text.size() > 3) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxJobs) return false;
    o.jobs = value;
    return true;
}

const OptionSpec kOptions[] = {
    {.short_name = 'q',
     .long_name = "quality",
     .value_name = "PCT",
     .help = "encoding quality, 10 to 400 percent (default 100, or the\n"
             "number in ./enc_quality.ini); higher gives larger files",
     .needs = "a quality percentage",
     .rule = "the quality must be a number from 10 to 400",
     .apply = set_quality},
    {.short_name = 'o',
     .long_name = "output",
     .value_name = "FILE",
     .help = "write the one input's result to FILE ('-': standard output)",
     .needs = "a file name",
     .apply = set_output},
    {.short_name = 'j',
     .long_name = "jobs",
     .value_name = "N",
     .help = "use N threads in all (1 to 64), converting up to N files at\n"
             "once (default: files one after another, each on every CPU)",
     .needs = "a number of jobs from 1 to 64",
     .apply = set_jobs},
    {.short_name = 't',
     .long_name = "test",
     .value_name = nullptr,
     .help = "check x91 files whole without writing anything",
     .apply = set_flag<&Options::test>},
    {.short_name = '\0',
     .long_name = "quiet",
     .value_name = nullptr,
     .help = "no progress or conversion lines; problems still shown",
     .apply = set_flag<&Options::quiet>},
    {.short_name = 'h',
     .long_name = "help",
     .value_name = nullptr,
     .help = "show this help",
     .apply = set_flag<&Options::help>,
     .answers_at_once = true},
    {.short_name = 'V',
     .long_name = "version",
     .value_name = nullptr,
     .help = "show the version",
     .apply = set_flag<&Options::version>,
     .answers_at_once = true},
};

}  // namespace

std::span<const OptionSpec> option_table() {
    return kOptions;
}

}  // namespace x91::cli
