// What the command does to the file an output names: a FIFO or a device is
// written into and stays, the input itself is refused, a replaced file keeps
// its mode and owner, long names fit, standard output redirected to a file
// gets true WAV sizes, and a decode too long for them becomes RF64 from the
// start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/command_runner.h"
#include "support/encoded_pair.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr std::size_t kHeader = 62;

// The WAV a stream gets: both sizes "to the end of the file".
Bytes streamed(Bytes wav) {
    set_le32(wav, 4, 0xFFFFFFFF);
    set_le32(wav, 40, 0xFFFFFFFF);
    return wav;
}

mode_t file_type(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

std::vector<std::string> hidden_files(const std::string& dir) {
    std::vector<std::string> hidden;
    for (const std::string& name : list_dir(dir))
        if (name[0] == '.') hidden.push_back(name);
    return hidden;
}

class OutputTest : public EncodedPairTest {
  protected:
    OutputTest() : EncodedPairTest(9) {}
};

TEST_F(OutputTest, NodesThatAreNotRegularFilesAreWrittenIntoAndStay) {
    const struct {
        const char* what;
        // Makes target "t" where there is one; its reader writes "got", and
        // gives up in time should the FIFO never be opened for writing.
        const char* script;
        bool decode;
    } cases[] = {
        {"FIFO, encode",
         "mkfifo t; timeout 60 cat t > got & \"$X91\" -o t a.wav; s=$?; wait; exit $s", false},
        {"FIFO, decode",
         "mkfifo t; timeout 60 cat t > got & \"$X91\" -o t a.x91; s=$?; wait; exit $s", true},
        // Links made here stand for /dev/stdout: a faulty run as root could
        // then only ever replace the link here, never the system's.
        {"link to standard output", "ln -s /proc/self/fd/1 t; \"$X91\" -o t a.x91 | cat > got",
         true},
        {"link to /dev/stdout", "ln -s /dev/stdout t; \"$X91\" -o t a.x91 | cat > got", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult r = run_shell(dir_.path(), c.script);
        ASSERT_EQ(r.status, 0) << r.err;
        // Progress never goes into the data, which a terminal-less run
        // would otherwise put on standard output.
        EXPECT_EQ(read_file(dir_.file("got")), c.decode ? streamed(wav_) : x91_);
        if (file_type(dir_.file("t")) != 0) {
            EXPECT_NE(file_type(dir_.file("t")), S_IFREG) << "the node was replaced";
            unlink(dir_.file("t").c_str());
        }
        EXPECT_EQ(hidden_files(dir_.path()), std::vector<std::string>{});
    }
}

// A character device is written into, not replaced by a regular file. As
// root, a copy of /dev/null made here stands in, so that a fault could only
// ever replace the copy; without root, /dev/null itself is safe to try, as
// nobody but root may replace it.
TEST_F(OutputTest, CharacterDeviceIsWrittenIntoNotReplaced) {
    std::string device = "/dev/null";
    if (geteuid() == 0) {
        device = dir_.file("null");
        if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
            run_shell(dir_.path(), "echo x > null").status != 0)
            GTEST_SKIP() << "no device nodes in this scratch directory";
    }
    struct stat before {};
    ASSERT_EQ(stat(device.c_str(), &before), 0);
    for (const char* input : {"a.wav", "a.x91"}) {
        SCOPED_TRACE(input);
        const RunResult r = run_x91(dir_.path(), {"-o", device, input});
        EXPECT_EQ(r.status, 0) << r.err;
        struct stat after {};
        ASSERT_EQ(stat(device.c_str(), &after), 0);
        EXPECT_TRUE(S_ISCHR(after.st_mode));
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_rdev, before.st_rdev);
    }
}

TEST_F(OutputTest, LinkToAFileIsFollowedAndADirectoryRefused) {
    ASSERT_EQ(symlink("real.x91", dir_.file("link.x91").c_str()), 0);
    RunResult r = run_x91(dir_.path(), {"-o", "link.x91", "a.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(file_type(dir_.file("link.x91")), static_cast<mode_t>(S_IFLNK));
    EXPECT_EQ(read_file(dir_.file("real.x91")), x91_);

    ASSERT_EQ(mkdir(dir_.file("sub").c_str(), 0755), 0);
    r = run_x91(dir_.path(), {"-o", "sub", "a.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "x91: sub: cannot write: Is a directory\n");
    EXPECT_EQ(list_dir(dir_.file("sub")), std::vector<std::string>{});
}

TEST_F(OutputTest, NamesThatCannotTakeTheOutputAreRefusedAndStay) {
    const struct {
        const char* script;
        const char* refusal;
        mode_t type;  // of t.flac or l1.wav afterwards
    } cases[] = {
        // FLAC finishes its STREAMINFO at the start, which a FIFO's reader
        // has already had.
        {"mkfifo t.flac; timeout 60 cat t.flac > got & \"$X91\" -o t.flac a.x91; s=$?; wait; "
         "exit $s",
         "x91: t.flac: cannot write: FLAC, AIFF and W64 are finished at their start, which a "
         "pipe or device cannot go back to\n",
         S_IFIFO},
        {"ln -s l2.wav l1.wav; ln -s l1.wav l2.wav; \"$X91\" -o l1.wav a.x91",
         "x91: l1.wav: cannot write: Too many levels of symbolic links\n", S_IFLNK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const RunResult r = run_shell(dir_.path(), c.script);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.refusal);
        EXPECT_EQ(read_file(dir_.file("got")), Bytes{});
        EXPECT_EQ(file_type(dir_.file(c.type == S_IFIFO ? "t.flac" : "l1.wav")), c.type);
        EXPECT_EQ(hidden_files(dir_.path()), std::vector<std::string>{});
    }
}

TEST_F(OutputTest, TheInputItselfIsRefusedBeforeAnythingIsRead) {
    const struct {
        const char* script;
        const char* refusal;
    } cases[] = {
        {"\"$X91\" -o a.wav a.wav", "x91: a.wav: the output 'a.wav' is this same file\n"},
        {"\"$X91\" -o a.x91 a.x91", "x91: a.x91: the output 'a.x91' is this same file\n"},
        {"ln -sf a.wav l.wav; \"$X91\" -o l.wav a.wav",
         "x91: a.wav: the output 'l.wav' is this same file\n"},
        {"ln -f a.wav h.wav; \"$X91\" -o h.wav a.wav",
         "x91: a.wav: the output 'h.wav' is this same file\n"},
        {"mkdir -p d; ln -sfn .. d/up; \"$X91\" -o d/up/a.x91 a.x91",
         "x91: a.x91: the output 'd/up/a.x91' is this same file\n"},
        {"ln -sf a.x91 a.x91.wav; \"$X91\" a.x91",
         "x91: a.x91: the output 'a.x91.wav' is this same file\n"},
        {"\"$X91\" -o a.wav - < a.wav", "x91: -: the output 'a.wav' is this same file\n"},
        {"\"$X91\" -o - a.x91 >> a.x91", "x91: a.x91: the output '-' is this same file\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const RunResult r = run_shell(dir_.path(), c.script);
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.err, c.refusal);
        EXPECT_EQ(read_file(dir_.file("a.x91")), x91_);
        EXPECT_EQ(read_file(dir_.file("a.wav")).size(), 44u + 4u * 2 * 14112);
    }
}

TEST_F(OutputTest, ReplacedFileKeepsItsModeAndOwner) {
    const bool root = geteuid() == 0;
    for (const mode_t mode : {0600, 0640, 0751, 0444}) {
        SCOPED_TRACE(mode);
        const std::string out = dir_.file("out.x91");
        write_file(out, {'o', 'l', 'd'});
        ASSERT_EQ(chmod(out.c_str(), mode), 0);
        // Root may give the file away, and the replacement must follow.
        if (root) {
            ASSERT_EQ(chown(out.c_str(), 1234, 5678), 0);
        }
        const bool may_write = root || (mode & S_IWUSR) != 0;
        if (!may_write) continue;  // the refusal below
        const RunResult r = run_x91(dir_.path(), {"-o", "out.x91", "a.wav"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file(out), x91_);
        struct stat info {};
        ASSERT_EQ(stat(out.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
        if (root) {
            EXPECT_EQ(info.st_uid, 1234u);
            EXPECT_EQ(info.st_gid, 5678u);
        }
        unlink(out.c_str());
    }
}

TEST_F(OutputTest, FileTheUserMayNotWriteIsRefusedAsARedirectWould) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file, as its shell redirects would";
    const std::string out = dir_.file("ro.x91");
    write_file(out, {'o', 'l', 'd'});
    ASSERT_EQ(chmod(out.c_str(), 0444), 0);
    const RunResult r = run_x91(dir_.path(), {"-o", "ro.x91", "a.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "x91: ro.x91: cannot write: Permission denied\n");
    EXPECT_EQ(read_file(out), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(hidden_files(dir_.path()), std::vector<std::string>{});
}

// Names up to the file system's limit of 255 bytes convert, whether the
// output is new or replaces a file: the temporary name is cut to fit.
TEST_F(OutputTest, NamesUpToTheLimitConvert) {
    for (const bool existing : {false, true}) {
        for (const std::size_t stem : {244u, 247u, 251u}) {
            SCOPED_TRACE(std::to_string(stem) + (existing ? ", replacing" : ", new"));
            const std::string name(stem, 'n');
            write_file(dir_.file(name + ".wav"), read_file(dir_.file("a.wav")));
            if (existing) write_file(dir_.file(name + ".x91"), {'o', 'l', 'd'});
            std::vector<std::string> args = {"--quiet", name + ".wav"};
            if (stem + 8 <= 255) args.push_back(name + ".x91");
            const RunResult r = run_x91(dir_.path(), args);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(read_file(dir_.file(name + ".x91")), x91_);
            if (stem + 8 <= 255) {
                EXPECT_EQ(read_file(dir_.file(name + ".x91.wav")), wav_);
            }
            EXPECT_EQ(hidden_files(dir_.path()), std::vector<std::string>{});
            for (const char* suffix : {".wav", ".x91", ".x91.wav"})
                unlink(dir_.file(name + suffix).c_str());
        }
    }
}

// Standard output redirected to a file can be rewound: the WAV there gets
// its true sizes, also behind bytes already in the file. Appending cannot
// go back, so it streams.
TEST_F(OutputTest, WaveOnStandardOutputGetsTrueSizesWhereItCanBeRewound) {
    const Bytes prefix = {'a', 'b', 'c'};
    Bytes after_prefix = prefix;
    append(after_prefix, wav_);
    Bytes appended = prefix;
    append(appended, streamed(wav_));
    const struct {
        const char* script;
        Bytes expected;
    } cases[] = {
        {"\"$X91\" -o - a.x91 > got", wav_},
        {"{ printf abc; \"$X91\" -o - a.x91; } > got", after_prefix},
        {"printf abc > got; \"$X91\" -o - a.x91 >> got", appended},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const RunResult r = run_shell(dir_.path(), c.script);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file(dir_.file("got")), c.expected);
    }
}

// A file whose packets decode to more than the 32-bit WAV sizes count is
// written as RF64 from its first byte: the packet counts are walked before
// anything is written. The output is cut at 64 KiB by a file size limit, so
// only the header is there to see, and the run ends at once.
TEST_F(OutputTest, DecodeBeyondTheRiffLimitIsRf64FromTheStart) {
    // Packets of silence are small: a file of 76100 of them stays under
    // 4 MB, yet decodes to 76100 * 16 blocks of 3528 bytes, past 2^32 - 36.
    write_file(dir_.file("quiet.wav"), make_wav(Pcm(2 * 3 * 14112, 0)));
    ASSERT_EQ(run_x91(dir_.path(), {"quiet.wav"}).status, 0);
    const Bytes quiet = read_file(dir_.file("quiet.x91"));
    const std::size_t second_at = kHeader + 4 + le32(quiet, kHeader);
    const auto packet_begin = quiet.begin() + static_cast<long>(second_at);
    const auto packet_end = packet_begin + 4 + le32(quiet, second_at);
    Bytes big(quiet.begin(), packet_begin);
    for (int p = 1; p < 76100; ++p) big.insert(big.end(), packet_begin, packet_end);
    big.insert(big.end(), {0, 0, 0, 0});
    write_file(dir_.file("big.x91"), big);

    const RunResult r = run_shell(dir_.path(), "ulimit -f 64; \"$X91\" -o - big.x91 > got");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    const Bytes got = read_file(dir_.file("got"));
    ASSERT_GE(got.size(), 80u);
    EXPECT_EQ(std::string(got.begin(), got.begin() + 4), "RF64");
    EXPECT_EQ(le32(got, 4), 0xFFFFFFFFu);
    EXPECT_EQ(std::string(got.begin() + 8, got.begin() + 16), "WAVEds64");
    EXPECT_EQ(std::string(got.begin() + 72, got.begin() + 76), "data");
    EXPECT_EQ(le32(got, 76), 0xFFFFFFFFu);
}

}  // namespace
