#include "command/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "command/quality_file.h"

namespace x91::cli {

namespace {

// The value of an option: attached ("-q50", "--quality=50") or the next
// argument. False when there is none.
bool option_value(const std::string& arg, const std::string& short_name,
                  const std::string& long_name, int argc, const char* const* argv, int& i,
                  std::string& value) {
    if (!long_name.empty() && arg.rfind(long_name + "=", 0) == 0) {
        value = arg.substr(long_name.size() + 1);
        return true;
    }
    if (arg.size() > short_name.size() && arg.rfind(short_name, 0) == 0 && short_name.size() == 2) {
        value = arg.substr(2);
        return true;
    }
    if (i + 1 >= argc) return false;
    value = argv[++i];
    return true;
}

// Whether arg names the option, alone or with its value attached.
bool is_option(const std::string& arg, const std::string& short_name,
               const std::string& long_name) {
    return arg == long_name || arg.rfind(long_name + "=", 0) == 0 ||
           (!short_name.empty() && arg.rfind(short_name, 0) == 0);
}

bool parse_quality(const std::string& text, float& q) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno != 0 || !std::isfinite(value)) return false;
    if (!quality_in_range(value)) return false;
    q = value;
    return true;
}

bool parse_jobs(const std::string& text, int& jobs) {
    if (text.empty() || text.size() > 3) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxJobs) return false;
    jobs = value;
    return true;
}

}  // namespace

ParsedOptions parse_options(int argc, const char* const* argv) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    auto usage_error = [&](std::string reason) {
        parsed.error = std::move(reason);
        parsed.show_usage = true;
        return parsed;
    };
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') break;
        std::string value;
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            return parsed;
        }
        if (arg == "-V" || arg == "--version") {
            o.version = true;
            return parsed;
        }
        if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "-t" || arg == "--test") {
            o.test = true;
        } else if (is_option(arg, "-q", "--quality")) {
            if (!option_value(arg, "-q", "--quality", argc, argv, i, value))
                return usage_error(arg + " needs a quality percentage");
            if (!parse_quality(value, o.quality)) {
                parsed.error = arg.substr(0, arg.rfind("--", 0) == 0 ? arg.find('=') : 2) +
                               ": the quality must be a number from 10 to 400, not '" + value + "'";
                return parsed;
            }
            o.quality_given = true;
        } else if (is_option(arg, "-o", "--output")) {
            if (!option_value(arg, "-o", "--output", argc, argv, i, value) || value.empty())
                return usage_error(arg + " needs a file name");
            o.output = value;
            o.output_given = true;
        } else if (is_option(arg, "-j", "--jobs")) {
            if (!option_value(arg, "-j", "--jobs", argc, argv, i, value) ||
                !parse_jobs(value, o.jobs)) {
                return usage_error(arg.substr(0, 2) + " needs a number of jobs from 1 to " +
                                   std::to_string(kMaxJobs));
            }
        } else {
            return usage_error("unknown option '" + arg + "'");
        }
    }
    for (; i < argc; ++i) o.files.emplace_back(argv[i]);

    if (o.files.empty()) return usage_error("no files given");
    if (o.output_given && o.files.size() != 1)
        return usage_error("-o takes exactly one input file");
    if (o.output_given && o.test) return usage_error("-t writes nothing, so it takes no -o");
    return parsed;
}

std::string usage_text() {
    return "usage: x91 [OPTION]... FILE...\n"
           "Encodes FILE.wav (CD audio: 16-bit stereo 44100 Hz) to FILE.x91, and decodes\n"
           "FILE.x91 to FILE.x91.wav. A FILE of '-' is standard input; whether it holds\n"
           "WAV or x91 data is seen from its first bytes.\n"
           "\n"
           "  -q, --quality PCT  encoding quality, 10 to 400 percent (default 100, or the\n"
           "                     number in ./enc_quality.ini); higher gives larger files\n"
           "  -o, --output FILE  write the one input's result to FILE ('-': standard output)\n"
           "  -j, --jobs N       convert up to N files at once (1 to 64, default 1)\n"
           "  -t, --test         check x91 files whole without writing anything\n"
           "      --quiet        no progress or conversion lines; problems still shown\n"
           "  -h, --help         show this help\n"
           "  -V, --version      show the version\n"
           "  --                 end of options (for a file name that starts with '-')\n"
           "\n"
           "Exit status: 0 when every file was converted (or found intact), 1 otherwise.\n";
}

}  // namespace x91::cli
