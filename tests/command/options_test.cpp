// The option table against the man page, and the parser's messages where
// they follow from the table.
#include "command/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace x91::cli {

namespace {

// The tag line the man page gives the option, as roff writes a dash:
// .BR \-q ", " \-\-quality " \fIPCT\fR", or .B \-\-quiet.
std::string man_tag(const OptionEntry& o) {
    std::vector<std::string> parts;
    if (o.short_name) parts.push_back(std::string("\\-") + o.short_name);
    if (o.short_name) parts.push_back("\", \"");
    parts.push_back(std::string("\\-\\-") + o.long_name);
    if (o.value_name) parts.push_back(std::string("\" \\fI") + o.value_name + "\\fR\"");
    std::string tag = parts.size() == 1 ? ".B" : ".BR";
    for (const std::string& part : parts) tag += " " + part;
    return tag;
}

// The tag line of every entry (.TP) in the man page's OPTIONS section.
std::set<std::string> man_page_option_tags() {
    std::ifstream man(X91_MAN_PAGE);
    EXPECT_TRUE(man) << X91_MAN_PAGE;
    std::set<std::string> tags;
    bool in_options = false;
    bool tag_next = false;
    for (std::string line; std::getline(man, line);) {
        if (line.rfind(".SH", 0) == 0) in_options = line == ".SH OPTIONS";
        if (!in_options) continue;
        if (tag_next) tags.insert(line);
        tag_next = line == ".TP";
    }
    return tags;
}

TEST(OptionTableTest, TheManPageListsExactlyTheOptionsOfTheTable) {
    std::set<std::string> expected;
    for (const OptionEntry& o : option_table()) expected.insert(man_tag(o));
    EXPECT_EQ(man_page_option_tags(), expected);
}

// The parser relies on these: every option has an effect, and exactly the
// options with a value say what it must be.
// The bash completion offers every name of every option, and no other.
TEST(OptionTableTest, TheCompletionOffersExactlyTheOptionsOfTheTable) {
    std::ifstream script(X91_COMPLETION);
    ASSERT_TRUE(script) << X91_COMPLETION;
    const std::string text((std::istreambuf_iterator<char>(script)), {});
    const std::size_t start = text.find("local options=\""), end = text.find('"', start + 15);
    ASSERT_NE(start, std::string::npos);
    std::istringstream words(text.substr(start + 15, end - start - 15));
    const std::set<std::string> offered{std::istream_iterator<std::string>(words), {}};
    std::set<std::string> names;
    for (const OptionEntry& o : option_table()) {
        names.insert(std::string("--") + o.long_name);
        if (o.short_name) names.insert(std::string("-") + o.short_name);
    }
    EXPECT_EQ(offered, names);
}

TEST(OptionTableTest, EveryOptionIsComplete) {
    for (const OptionEntry& o : option_table()) {
        SCOPED_TRACE(o.long_name);
        EXPECT_NE(o.apply, nullptr);
        EXPECT_NE(o.help, nullptr);
        EXPECT_EQ(o.value_name == nullptr, o.needs == nullptr);
    }
}

TEST(OptionTableTest, RefusalsNameTheOptionAsGiven) {
    const struct {
        std::vector<const char*> args;
        std::string error;
        bool usage;
    } cases[] = {
        {{"--jobs=0", "a.wav"}, "--jobs needs a number of jobs from 1 to 64", true},
        {{"--output=", "a.wav"}, "--output needs a file name", true},
        {{"--quality"}, "--quality needs a quality percentage", true},
        {{"-q5", "a.wav"}, "-q: the quality must be a number from 10 to 400, not '5'", false},
        {{"--bitrate=7.9", "a.wav"},
         "--bitrate: the bit rate must be a number of kbit/s from 8 to 1411, not '7.9'",
         false},
        {{"-b", "96", "a.wav", "-q", "50"}, "-q and -b exclude each other: give one of them", true},
        {{"--test=1", "a.x91"}, "unknown option '--test=1'", true},
        {{"-hx"}, "unknown option '-hx'", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::vector<const char*> argv = {"x91"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ParsedOptions parsed = parse_options(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(parsed.error, c.error);
        EXPECT_EQ(parsed.show_usage, c.usage);
    }
}

}  // namespace

}  // namespace x91::cli
