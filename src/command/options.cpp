#include "command/options.h"

#include <algorithm>

namespace x91::cli {

namespace {

// An argument that names an option of the table.
struct Given {
    const OptionEntry* entry = nullptr;  // null: no such option
    std::string name;                    // as given, without an attached value
    std::optional<std::string> value;    // attached: "-q50", "--quality=50"
};

// "--name" or "--name=value" for a long name, "-x" or "-xvalue" for a short
// one; only an option that takes a value may have one attached.
Given find_option(const std::string& arg) {
    const auto table = option_table();
    Given given;
    if (arg.rfind("--", 0) == 0) {
        const std::size_t equals = arg.find('=');
        given.name = arg.substr(0, equals);
        if (equals != std::string::npos) given.value = arg.substr(equals + 1);
        const auto it = std::find_if(table.begin(), table.end(), [&](const OptionEntry& o) {
            return given.name.compare(2, std::string::npos, o.long_name) == 0;
        });
        if (it != table.end()) given.entry = &*it;
    } else {
        given.name = arg.substr(0, 2);
        if (arg.size() > 2) given.value = arg.substr(2);
        const auto it = std::find_if(table.begin(), table.end(),
                                     [&](const OptionEntry& o) { return o.short_name == arg[1]; });
        if (it != table.end()) given.entry = &*it;
    }
    if (given.entry && given.value && !given.entry->value_name) given.entry = nullptr;
    return given;
}

// "-q, --quality PCT" or "    --quiet": the option's names in the usage.
std::string usage_names(const OptionEntry& o) {
    std::string names = o.short_name ? std::string("-") + o.short_name + ", " : "    ";
    names += std::string("--") + o.long_name;
    if (o.value_name) names += std::string(" ") + o.value_name;
    return names;
}

// Names in a column of `width`, then the help, its continuation lines
// indented to the same column.
std::string usage_line(const std::string& names, std::size_t width, const std::string& help) {
    const std::string indent(2 + width + 2, ' ');
    std::string line = "  " + names + std::string(width - names.size() + 2, ' ');
    for (char c : help) line += c == '\n' ? "\n" + indent : std::string(1, c);
    return line + '\n';
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
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            for (++i; i < argc; ++i) o.files.emplace_back(argv[i]);
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            o.files.push_back(arg);
            continue;
        }
        const Given given = find_option(arg);
        if (!given.entry) return usage_error("unknown option '" + arg + "'");
        const OptionEntry& entry = *given.entry;
        std::string value;
        if (entry.value_name) {
            if (given.value) {
                value = *given.value;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return usage_error(given.name + " needs " + entry.needs);
            }
        }
        if (!entry.apply(o, value)) {
            if (!entry.rule) return usage_error(given.name + " needs " + entry.needs);
            parsed.error = given.name + ": " + entry.rule + ", not '" + value + "'";
            return parsed;
        }
        if (entry.answers_at_once) return parsed;
    }

    if (o.files.empty()) return usage_error("no files given");
    if (o.output && o.files.size() != 1) return usage_error("-o takes exactly one input file");
    if (o.quality && o.bitrate)
        return usage_error("-q and -b exclude each other: give one of them");
    if (o.output && o.test) return usage_error("-t writes nothing, so it takes no -o");
    if (o.output && (o.output_dir || o.recursive))
        return usage_error("-o names one output: with -r or -d, outputs are named by their inputs");
    if (o.output && o.format)
        return usage_error("-o names its format by its suffix, so it takes no --format");
    if (o.test && o.output_dir) return usage_error("-t writes nothing, so it takes no -d");
    if (o.replay_gain && (o.plain || o.test || o.list || o.edits()))
        return usage_error(
            "--replay-gain stores tags in what encodes write: not with --plain, -t, "
            "--list or the editing options");
    if ((o.list || o.edits()) && (o.output || o.test))
        return usage_error("--list and the editing options take no -o or -t");
    if (o.export_picture && o.files.size() != 1)
        return usage_error("--export-picture takes exactly one x91 file");
    if (o.plain && (!o.tags.empty() || !o.pictures.empty() || o.picture_from_folder))
        return usage_error("--plain writes no extension block, so it keeps no tags or pictures");
    return parsed;
}

std::string usage_text() {
    std::size_t width = 0;
    for (const OptionEntry& o : option_table()) width = std::max(width, usage_names(o).size());
    std::string text =
        "usage: x91 [OPTION]... FILE...\n"
        "Encodes FILE.wav, .flac, .aif(f), .aifc, .rf64 or .w64 (any rate, depth, 1 or 2\n"
        "channels) to FILE.x91, and decodes FILE.x91 to FILE.x91.wav, exactly as long\n"
        "as the input and with its tags. A FILE of '-' is standard input; whether it\n"
        "holds audio or x91 data is seen from its first bytes.\n"
        "\n";
    for (const OptionEntry& o : option_table()) text += usage_line(usage_names(o), width, o.help);
    text += usage_line("--", width, "end of options (for a file name that starts with '-')");
    text += "\nExit status: 0 when every file was converted (or found intact), 1 otherwise.\n";
    return text;
}

}  // namespace x91::cli
