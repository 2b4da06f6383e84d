// Converting a collection: folder trees walked with -r, mirrored under -d,
// reruns that skip what is done, the format of decodes, and cover images.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/audio_files.h"
#include "support/command_runner.h"

using namespace x91test;
namespace fs = std::filesystem;

namespace {

// Every file below dir, as relative paths in sorted order.
std::vector<std::string> tree(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), dir).string());
    std::sort(files.begin(), files.end());
    return files;
}

// Each file's last change, to the nanosecond.
std::map<std::string, long long> times(const std::string& dir) {
    std::map<std::string, long long> result;
    for (const std::string& rel : tree(dir)) {
        struct stat info {};
        stat((dir + "/" + rel).c_str(), &info);
        result[rel] = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    }
    return result;
}

void write_flac(const std::string& path, int rate = 44100, int channels = 2) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(write_audio(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, channels, rate,
                            sine(rate / 4, channels, rate, 440.0, 0.3)));
}

void write_text(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    write_file(path, Bytes(text.begin(), text.end()));
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// 3 folders, 7 FLAC files, their covers: mirrored, then a rerun with
// --skip-existing changes nothing, and the mirror decodes back to FLAC.
TEST(CollectionTest, TreeMirrorsSkipsWhenDoneAndDecodesBack) {
    ScratchDir dir;
    for (const char* name : {"a/1.flac", "a/2.flac", "a/3.FLAC", "a/deep/4.flac", "a/deep/5.flac",
                             "b/6.flac", "b/7.flac"})
        write_flac(dir.file("src/") + name);
    write_text(dir.file("src/a/cover.jpg"), "jpeg");
    write_text(dir.file("src/a/deep/Front.PNG"), "png");
    write_text(dir.file("src/b/folder.jpeg"), "jpeg");
    write_text(dir.file("src/b/back.jpg"), "not a cover");
    write_text(dir.file("src/b/notes.txt"), "not audio");

    const RunResult first = run_x91(dir.path(), {"-r", "src", "-d", "out"});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::vector<std::string> mirrored = {
        "a/1.x91",      "a/2.x91",          "a/3.x91", "a/cover.jpg", "a/deep/4.x91",
        "a/deep/5.x91", "a/deep/Front.PNG", "b/6.x91", "b/7.x91",     "b/folder.jpeg"};
    EXPECT_EQ(tree(dir.file("out")), mirrored);
    EXPECT_EQ(read_file(dir.file("out/a/cover.jpg")), read_file(dir.file("src/a/cover.jpg")));

    const auto before = times(dir.path());
    const RunResult second = run_x91(dir.path(), {"--skip-existing", "-r", "src", "-d", "out"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out.find("encoding"), std::string::npos) << second.out;
    EXPECT_EQ(count_of(second.err, " is up to date, skipped\n"), 10u) << second.err;
    EXPECT_NE(second.err.find("x91: src/a/1.flac: out/a/1.x91 is up to date, skipped\n"),
              std::string::npos)
        << second.err;
    EXPECT_EQ(times(dir.path()), before);

    const RunResult back = run_x91(dir.path(), {"-r", "out", "-d", "back", "--format", "flac"});
    ASSERT_EQ(back.status, 0) << back.err;
    for (const char* name : {"a/1.flac", "a/3.flac", "a/deep/5.flac", "b/7.flac"}) {
        const AudioFile decoded = read_audio(dir.file("back/") + name);
        EXPECT_TRUE(decoded.read && decoded.rate == 44100 && decoded.samples.size() == 2 * 11025)
            << name;
    }
    EXPECT_EQ(tree(dir.file("back")).size(), mirrored.size());
}

// Where outputs go and what is refused, by the names and options given.
TEST(CollectionTest, OutputNamesAndRefusals) {
    const struct {
        const char* what;
        std::vector<std::string> inputs;  // made before the run
        std::vector<std::string> args;
        int status;
        std::vector<std::string> made;  // expected new files, sorted
        const char* err;                // expected in stderr
    } cases[] = {
        {"walk beside the inputs, earlier outputs not taken again",
         {"s/a.flac", "s/a.x91", "s/t/b.x91", "s/t/b.x91.wav"},
         {"-r", "s"},
         0,
         {},
         ""},
        {"decode formats beside the input",
         {"a.x91"},
         {"--format", "aiff", "a.x91"},
         0,
         {"a.x91.aiff"},
         ""},
        {"a file given with -d goes in DIR itself",
         {"s/a.flac"},
         {"s/a.flac", "-d", "o"},
         0,
         {"o/a.x91"},
         ""},
        {"a folder without -r", {"s/a.flac"}, {"s"}, 1, {}, "x91: s: a folder; -r converts"},
        {"two inputs, one output",
         {"s/a.flac", "s/a.wav"},
         {"-r", "s", "-d", "o"},
         1,
         {"o/a.x91"},
         "x91: s/a.wav: its output 'o/a.x91' is also that of 's/a.flac'"},
        {"two folders, one mirror",
         {"s/a.flac", "t/a.flac"},
         {"-r", "s", "t", "-d", "o"},
         1,
         {"o/a.x91"},
         "is also that of 's/a.flac'"},
        {"the output folder inside the input is not walked",
         {"s/a.flac", "s/o/b.x91"},
         {"-r", "s", "-d", "s/o"},
         0,
         {"s/o/a.x91"},
         ""},
        {"-d naming the folder itself: outputs beside, the cover left in place",
         {"s/a.flac", "s/cover.png"},
         {"-r", "s", "-d", "s"},
         0,
         {"s/a.x91"},
         ""},
        {"-t checks the x91 files of a folder",
         {"s/a.x91", "s/b.flac"},
         {"-t", "-r", "s"},
         0,
         {},
         ""},
        {"standard input under -d", {}, {"-", "-d", "o"}, 1, {}, "standard input has no name"},
        {"-o with -r", {"s/a.flac"}, {"-r", "s", "-o", "x.x91"}, 1, {}, "-o names one output"},
        {"-o with --format",
         {"a.x91"},
         {"a.x91", "-o", "x.flac", "--format", "flac"},
         1,
         {},
         "takes no --format"},
        {"an unknown format",
         {"a.x91"},
         {"--format", "mp3", "a.x91"},
         1,
         {},
         "--format: the format must be wav, flac, aiff or w64, not 'mp3'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        for (const std::string& name : c.inputs) {
            if (name.ends_with(".png")) write_text(dir.file(name), "png");
            if (name.ends_with(".flac") || name.ends_with(".wav")) write_flac(dir.file(name));
        }
        for (const std::string& name : c.inputs) {
            if (!name.ends_with(".x91")) continue;
            fs::create_directories(fs::path(dir.file(name)).parent_path());
            write_flac(dir.file("x.flac"));
            ASSERT_EQ(run_x91(dir.path(), {"--quiet", "x.flac", "-o", name}).status, 0);
            fs::remove(dir.file("x.flac"));
        }
        const auto before = tree(dir.path());
        const RunResult r = run_x91(dir.path(), c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        std::vector<std::string> made;
        for (const std::string& name : tree(dir.path()))
            if (std::find(before.begin(), before.end(), name) == before.end()) made.push_back(name);
        EXPECT_EQ(made, c.made);
    }
}

// The walk goes in byte order, whatever the order of the folder, and a link
// back up the tree ends it rather than repeating it.
TEST(CollectionTest, WalkIsSortedAndIgnoresLinkedFolders) {
    ScratchDir dir;
    for (const char* name : {"s/b/1.flac", "s/B.flac", "s/a.flac", "s/b.flac"})
        write_flac(dir.file(name));
    fs::create_directory_symlink("..", dir.file("s/b/up"));
    const RunResult r = run_x91(dir.path(), {"-r", "s", "-d", "o"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> order = {"s/B.flac", "s/a.flac", "s/b.flac", "s/b/1.flac"};
    std::size_t at = 0;
    for (const std::string& name : order) {
        const std::size_t found = r.out.find("encoding : '" + name + "'");
        ASSERT_NE(found, std::string::npos) << name << r.out;
        EXPECT_GE(found, at) << name;
        at = found;
    }
    EXPECT_EQ(tree(dir.file("o")).size(), order.size());
}

// The bash completion parses, and completes an option, a format and the
// files x91 takes.
TEST(CollectionTest, BashCompletionCompletes) {
    ScratchDir dir;
    for (const char* name : {"a.FLAC", "b.x91", "notes.txt"}) write_text(dir.file(name), "");
    const std::string script = std::string("bash -n ") + X91_COMPLETION + " && source " +
                               X91_COMPLETION +
                               "; complete() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _x91;"
                               " echo \"${COMPREPLY[*]}\"; }; complete x91 --skip; "
                               "complete x91 --format f; complete x91 ''";
    const RunResult r = run_shell(dir.path(), script);
    EXPECT_EQ(r.status, 0) << r.err;
    // Files come in the folder's order: bash sorts what it shows.
    EXPECT_TRUE(r.out == "--skip-existing\nflac\na.FLAC b.x91\n" ||
                r.out == "--skip-existing\nflac\nb.x91 a.FLAC\n")
        << r.out << r.err;
}

// --picture-from-folder: the folder's cover becomes the front cover of a
// file that has none, and only then.
TEST(CollectionTest, PictureFromFolderFillsAMissingFrontCover) {
    const std::string png = "\x89PNG\r\n\x1a\nfolder", jpeg = "\xff\xd8\xff\xe0given";
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::string> images;  // written beside a.flac
        std::string stored;               // the front cover of the output; "" for none
    } cases[] = {
        {"cover.* before front.*", {"--picture-from-folder"}, {"cover.png", "front.jpg"}, png},
        {"a given cover stays",
         {"--picture-from-folder", "--picture", "p.jpg"},
         {"cover.png"},
         jpeg},
        {"no cover in the folder", {"--picture-from-folder"}, {}, ""},
        {"without the option", {}, {"cover.png"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        write_flac(dir.file("s/a.flac"));
        write_text(dir.file("p.jpg"), jpeg);
        for (const std::string& name : c.images)
            write_text(dir.file("s/" + name), name.ends_with(".png") ? png : jpeg);
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--quiet", "-r", "s", "-d", "o"});
        const RunResult r = run_x91(dir.path(), args);
        ASSERT_EQ(r.status, 0) << r.err;
        const RunResult exported = run_x91(dir.path(), {"--export-picture", "got", "o/a.x91"});
        if (c.stored.empty()) {
            EXPECT_NE(exported.status, 0);
        } else {
            ASSERT_EQ(exported.status, 0) << exported.err;
            EXPECT_EQ(read_file(dir.file("got")), Bytes(c.stored.begin(), c.stored.end()));
        }
    }
}

}  // namespace
