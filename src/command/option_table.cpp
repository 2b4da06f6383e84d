// The options of the command line and what each one does to the options
// record.
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "command/options.h"
#include "command/quality_file.h"
#include "command/tag_names.h"
#include "x91/x91.h"

// The quality range in the texts, from the one place it is written.
#define X91_TEXT_OF(number) #number
#define X91_TEXT(number) X91_TEXT_OF(number)
#define X91_QUALITY_RANGE X91_TEXT(X91_QUALITY_MIN) " to " X91_TEXT(X91_QUALITY_MAX)

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

bool set_bitrate(Options& o, const std::string& text) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno != 0 || !std::isfinite(value)) return false;
    if (value < kMinBitrate || value > kMaxBitrate) return false;
    o.bitrate = value;
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

// --tag NAME=VALUE; the name is kept in upper case, as players look it up.
bool add_tag(Options& o, const std::string& text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return false;
    const std::string name = text.substr(0, equals), value = text.substr(equals + 1);
    if (x91_tag_check(name.c_str(), value.c_str()) != X91_OK) return false;
    o.tags.push_back({canonical_tag_name(name), value});
    return true;
}

// --title VALUE and the other short forms of --tag for the common names.
template <const char* name>
bool add_named_tag(Options& o, const std::string& value) {
    if (x91_tag_check(name, value.c_str()) != X91_OK) return false;
    o.tags.push_back({name, value});
    return true;
}

constexpr char kTitle[] = "TITLE";
constexpr char kArtist[] = "ARTIST";
constexpr char kAlbum[] = "ALBUM";
constexpr char kTrack[] = "TRACKNUMBER";
constexpr char kDate[] = "DATE";
constexpr char kGenre[] = "GENRE";
constexpr char kComment[] = "COMMENT";

constexpr const char* kUtf8Rule = "the value must be UTF-8 text";

const OptionEntry kOptions[] = {
    {.short_name = 'q',
     .long_name = "quality",
     .value_name = "PCT",
     .help = "encoding quality, " X91_QUALITY_RANGE " percent (default 100, or the\n"
             "number in ./enc_quality.ini); higher gives larger files",
     .needs = "a quality percentage",
     .rule = "the quality must be a number from " X91_QUALITY_RANGE,
     .apply = set_quality},
    {.short_name = 'b',
     .long_name = "bitrate",
     .value_name = "KBPS",
     .help = "average bit rate over the file, 8 to 1411 kbit/s, found by\n"
             "trial encodes of the audio held in memory; not with -q, and\n"
             "./enc_quality.ini is then not read",
     .needs = "a bit rate in kbit/s",
     .rule = "the bit rate must be a number of kbit/s from 8 to 1411",
     .apply = set_bitrate},
    {.short_name = '\0',
     .long_name = "tuned",
     .value_name = nullptr,
     .help = "the tuned encoder: better sound for the size, in files\n"
             "every decoder reads",
     .apply = set_flag<&Options::tuned>},
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
     .long_name = "plain",
     .value_name = nullptr,
     .help = "encode without the extension block: no exact length, tags or\n"
             "checksum, nothing after the end marker",
     .apply = set_flag<&Options::plain>},
    {.short_name = '\0',
     .long_name = "raw",
     .value_name = nullptr,
     .help = "decode every block, the lead-in and the padding included,\n"
             "whatever the extension block says",
     .apply = set_flag<&Options::raw>},
    {.short_name = '\0',
     .long_name = "tag",
     .value_name = "NAME=VALUE",
     .help = "store a tag (any number of them); it replaces the input's\n"
             "tags of that NAME",
     .needs = "a tag, NAME=VALUE",
     .rule = "a tag is NAME=VALUE, NAME printable ASCII without '=', VALUE UTF-8 text",
     .apply = add_tag},
    {.short_name = '\0',
     .long_name = "title",
     .value_name = "TEXT",
     .help = "the same as --tag TITLE=TEXT",
     .needs = "a title",
     .rule = kUtf8Rule,
     .apply = add_named_tag<kTitle>},
    {.short_name = '\0',
     .long_name = "artist",
     .value_name = "TEXT",
     .help = "the same as --tag ARTIST=TEXT",
     .needs = "an artist",
     .rule = kUtf8Rule,
     .apply = add_named_tag<kArtist>},
    {.short_name = '\0',
     .long_name = "album",
     .value_name = "TEXT",
     .help = "the same as --tag ALBUM=TEXT",
     .needs = "an album",
     .rule = kUtf8Rule,
     .apply = add_named_tag<kAlbum>},
    {.short_name = '\0',
     .long_name = "track",
     .value_name = "TEXT",
     .help = "the same as --tag TRACKNUMBER=TEXT",
     .needs = "a track number",
     .rule = kUtf8Rule,
     .apply = add_named_tag<kTrack>},
    {.short_name = '\0',
     .long_name = "date",
     .value_name = "TEXT",
     .help = "the same as --tag DATE=TEXT",
     .needs = "a date",
     .rule = kUtf8Rule,
     .apply = add_named_tag<kDate>},
    {.short_name = '\0',
     .long_name = "genre",
     .value_name = "TEXT",
     .help = "the same as --tag GENRE=TEXT",
     .needs = "a genre",
     .rule = kUtf8Rule,
     .apply = add_named_tag<kGenre>},
    {.short_name = '\0',
     .long_name = "comment",
     .value_name = "TEXT",
     .help = "the same as --tag COMMENT=TEXT",
     .needs = "a comment",
     .rule = kUtf8Rule,
     .apply = add_named_tag<kComment>},
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

std::span<const OptionEntry> option_table() {
    return kOptions;
}

}  // namespace x91::cli
