// What the command says of a conversion: audio changed on the way in, the
// quality -b found, and progress on a terminal and in a log.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <string>
#include <vector>

#include "support/audio_files.h"
#include "support/command_runner.h"

using namespace x91test;

namespace {

// One line exactly when the audio is changed, naming what it was.
TEST(ConversionNotesTest, OneLineExactlyWhenAudioIsChanged) {
    const struct {
        const char* name;
        int format;
        int channels;
        int rate;
        std::vector<std::string> options;
        std::string err;
    } cases[] = {
        {"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, {}, ""},
        {"a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 2, 44100, {}, ""},
        {"a.flac",
         SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
         2,
         96000,
         {},
         "x91: a.flac: 96000 Hz 24-bit converted to 44100 Hz 16-bit\n"},
        {"a.wav",
         SF_FORMAT_WAV | SF_FORMAT_PCM_16,
         2,
         48000,
         {},
         "x91: a.wav: 48000 Hz 16-bit converted to 44100 Hz 16-bit\n"},
        {"a.wav",
         SF_FORMAT_WAV | SF_FORMAT_FLOAT,
         2,
         44100,
         {},
         "x91: a.wav: 44100 Hz 32-bit float converted to 44100 Hz 16-bit\n"},
        {"a.wav",
         SF_FORMAT_WAV | SF_FORMAT_PCM_16,
         1,
         44100,
         {},
         "x91: a.wav: 44100 Hz 16-bit mono converted to 44100 Hz 16-bit stereo\n"},
        {"a.flac",
         SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
         1,
         22050,
         {"-b", "96"},
         "x91: a.flac: 22050 Hz 24-bit mono converted to 44100 Hz 16-bit stereo\n"},
        {"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 96000, {"--quiet"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " " + std::to_string(c.format));
        ScratchDir dir;
        ASSERT_TRUE(write_audio(dir.file(c.name), c.format, c.channels, c.rate,
                                sine(c.rate / 2, c.channels, c.rate, 440.0, 0.3)));
        std::vector<std::string> args = c.options;
        args.push_back(c.name);
        const RunResult r = run_x91(dir.path(), args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, c.err);
    }
}

// -b says the quality it found, for each file, one after another or at once.
TEST(ConversionNotesTest, BitrateSaysTheQualityItChose) {
    ScratchDir dir;
    for (const char* name : {"a.flac", "b.flac"})
        ASSERT_TRUE(write_audio(dir.file(name), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100,
                                sine(44100, 2, 44100, 440.0, 0.3)));
    for (const char* jobs : {"-j1", "-j2"}) {
        SCOPED_TRACE(jobs);
        const RunResult r = run_x91(dir.path(), {jobs, "-b", "64", "a.flac", "b.flac"});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::size_t first = r.out.find("Encoding Quality : ");
        ASSERT_NE(first, std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Encoding Quality : ", first + 1), std::string::npos) << r.out;
        EXPECT_LT(first, r.out.find("encoding : 'a.flac'")) << r.out;
    }
}

// On a terminal each file shows its percent, time left and speed, and its
// place in the run; a log gets one final line per file, as before.
TEST(ConversionNotesTest, ProgressOnATerminalAndInALog) {
    ScratchDir dir;
    for (const char* name : {"a.flac", "b.flac"})
        ASSERT_TRUE(write_audio(dir.file(name), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100,
                                sine(30 * 44100, 2, 44100, 440.0, 0.3)));
    const RunResult terminal = run_x91_on_terminal(dir.path(), {"-j1", "a.flac", "b.flac"});
    ASSERT_EQ(terminal.status, 0) << terminal.out;
    for (const char* part : {"file 1 of 2  ", "file 2 of 2  100%  0:00 left  ", "x  "})
        EXPECT_NE(terminal.out.find(part), std::string::npos) << part << terminal.out;

    const RunResult log = run_x91(dir.path(), {"-j1", "a.flac", "b.flac"});
    ASSERT_EQ(log.status, 0) << log.err;
    EXPECT_EQ(log.out.find('%'), std::string::npos) << log.out;
    std::size_t lines = 0;
    for (auto at = log.out.find(" bits/sec ]  \r"); at != std::string::npos;
         at = log.out.find(" bits/sec ]  \r", at + 1))
        ++lines;
    EXPECT_EQ(lines, 2u) << log.out;
}

}  // namespace
