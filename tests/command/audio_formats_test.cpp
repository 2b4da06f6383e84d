// Inputs in every format x91 takes, outputs in every format it writes, and
// the tags carried from one to the other, through the real command.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/audio_files.h"
#include "support/command_runner.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

// Signal-to-noise ratio in dB of `decoded` against `reference`, both
// interleaved stereo, over the reference's length.
double snr(const std::vector<short>& reference, const std::vector<short>& decoded) {
    double signal = 0.0, noise = 0.0;
    for (std::size_t i = 0; i < reference.size() && i < decoded.size(); ++i) {
        const double d = static_cast<double>(decoded[i]) - reference[i];
        signal += static_cast<double>(reference[i]) * reference[i];
        noise += d * d;
    }
    return 10.0 * std::log10(signal / std::max(noise, 1.0));
}

std::vector<short> to_shorts(const Samples& stereo) {
    std::vector<short> out;
    for (double x : stereo) out.push_back(static_cast<short>(std::lround(x * 32767.0)));
    return out;
}

TEST(AudioFormatsTest, EveryKindOfInputEncodesToTheSameToneAtLagZero) {
    const struct {
        const char* name;
        int format;
        int channels;
        int rate;
    } cases[] = {
        {"cd.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100},
        {"cd.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 44100},
        {"hi.aifc", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 2, 44100},
        {"48k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000},
        {"96k24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 96000},
        {"24bit.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 44100},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100},
        {"mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100},
        {"22k-mono.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050},
        {"eight.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_U8, 2, 44100},
        {"big.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_32, 2, 44100},
    };
    constexpr double kSeconds = 1.5;
    // What every input should become: the tone at 44100 Hz, stereo.
    const std::vector<short> expected = to_shorts(sine(66150, 2, 44100, 1000.0, 0.5));
    ScratchDir dir;
    std::vector<std::string> names;
    for (const auto& c : cases) {
        const int frames = static_cast<int>(kSeconds * c.rate);
        ASSERT_TRUE(write_audio(dir.file(c.name), c.format, c.channels, c.rate,
                                sine(frames, c.channels, c.rate, 1000.0, 0.5)))
            << c.name;
        names.push_back(c.name);
    }
    std::vector<std::string> args = {"--quiet"};
    args.insert(args.end(), names.begin(), names.end());
    RunResult r = run_x91(dir.path(), args);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string stem = std::string(c.name).substr(0, std::string(c.name).rfind('.'));
        r = run_x91(dir.path(), {"--quiet", "-o", stem + ".out.wav", stem + ".x91"});
        ASSERT_EQ(r.status, 0) << r.err;
        const AudioFile decoded = read_audio(dir.file(stem + ".out.wav"));
        ASSERT_TRUE(decoded.read);
        // Exactly the input's length at 44100 Hz, the tone in place.
        EXPECT_EQ(decoded.samples.size(), expected.size());
        EXPECT_GT(snr(expected, decoded.samples), 15.0);
    }
}

TEST(AudioFormatsTest, FlacAndWavOfTheSamePcmGiveTheSameFile) {
    ScratchDir dir;
    const Pcm pcm = music_like_signal(3 * 14112 + 500, 21);
    write_file(dir.file("a.wav"), make_wav(pcm));
    ASSERT_TRUE(write_pcm16(dir.file("b.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100,
                            std::vector<short>(pcm.begin(), pcm.end())));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "a.wav", "b.flac"}).status, 0);
    EXPECT_EQ(read_file(dir.file("a.x91")), read_file(dir.file("b.x91")));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--plain", "-o", "c.x91", "b.flac"}).status, 0);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--plain", "-o", "d.x91", "a.wav"}).status, 0);
    EXPECT_EQ(read_file(dir.file("c.x91")), read_file(dir.file("d.x91")));
}

TEST(AudioFormatsTest, TagsGoFromFlacAndWavToEveryOutputThatHoldsThem) {
    const std::map<int, std::string> tags = {
        {SF_STR_TITLE, "Ünïcode Title ♪"},
        {SF_STR_ARTIST, "The Artist"},
        {SF_STR_ALBUM, "An Album"},
        {SF_STR_TRACKNUMBER, "7"},
        {SF_STR_DATE, "1999"},
        {SF_STR_GENRE, "Jazz"},
        {SF_STR_COMMENT, "a comment"},
    };
    std::map<int, std::string> given = tags;
    given[SF_STR_ARTIST] = "Another";  // the option wins over the input's tag
    ScratchDir dir;
    const std::vector<short> pcm = to_shorts(sine(30000, 2, 44100, 440.0, 0.3));
    ASSERT_TRUE(
        write_pcm16(dir.file("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, pcm, tags));
    ASSERT_TRUE(
        write_pcm16(dir.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, pcm, tags));
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "--artist", "Another", "in.flac"}).status, 0);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "wav.x91", "in.wav"}).status, 0);
    for (const char* out : {"out.flac", "out.wav"}) {
        SCOPED_TRACE(out);
        ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", out, "in.x91"}).status, 0);
        const AudioFile back = read_audio(dir.file(out));
        EXPECT_EQ(back.samples.size(), pcm.size());
        for (const auto& [id, text] : given) EXPECT_EQ(back.strings.at(id), text) << id;
    }
    // A WAV file's INFO texts, read by the codec's own reader.
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "wav.flac", "wav.x91"}).status, 0);
    const AudioFile back = read_audio(dir.file("wav.flac"));
    for (const auto& [id, text] : tags) EXPECT_EQ(back.strings.at(id), text) << id;
    // AIFF and W64 hold the audio; AIFF its name too.
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "out.aiff", "in.x91"}).status, 0);
    ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "out.W64", "in.x91"}).status, 0);
    EXPECT_EQ(read_audio(dir.file("out.aiff")).samples.size(), pcm.size());
    EXPECT_EQ(read_audio(dir.file("out.aiff")).strings.at(SF_STR_TITLE), tags.at(SF_STR_TITLE));
    EXPECT_EQ(read_audio(dir.file("out.W64")).samples.size(), pcm.size());
}

TEST(AudioFormatsTest, StandardInputOfAnyFormatEncodesLikeTheFile) {
    ScratchDir dir;
    const Samples tone = sine(50000, 2, 48000, 1000.0, 0.5);
    ASSERT_TRUE(write_audio(dir.file("a.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 48000, tone));
    ASSERT_TRUE(write_audio(dir.file("b.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 44100, tone));
    ASSERT_TRUE(write_audio(dir.file("c.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 44100, tone));
    for (const char* name : {"a.flac", "b.wav", "c.aiff"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "file.x91", name}).status, 0);
        const RunResult r = run_piped(dir.path(), {"--quiet", "-o", "pipe.x91", "-"}, name, "out");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file(dir.file("pipe.x91")), read_file(dir.file("file.x91")));
    }
}

TEST(AudioFormatsTest, InputsCutShortWarnAndKeepTheFramesPresent) {
    // libsndfile reads them as far as they go and calls them whole; x91
    // weighs them against their headers, from files and streams alike.
    const struct {
        const char* name;
        int format;
    } cases[] = {
        {"24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"a.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16},
        {"a.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
        {"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        ASSERT_TRUE(
            write_audio(dir.file(name), c.format, 2, 44100, sine(88200, 2, 44100, 1000.0, 0.5)));
        // Whole, also through a pipe, where the length shows only at the end.
        EXPECT_EQ(run_x91(dir.path(), {"--quiet", "-o", "whole.x91", name}).status, 0);
        EXPECT_EQ(run_piped(dir.path(), {"--quiet", "-o", "whole.x91", "-"}, name, "o").status, 0);
        Bytes bytes = read_file(dir.file(name));
        bytes.resize(bytes.size() / 2);
        write_file(dir.file(name), bytes);
        for (const bool piped : {false, true}) {
            const RunResult r =
                piped ? run_piped(dir.path(), {"--quiet", "-o", "cut.x91", "-"}, name, "o")
                      : run_x91(dir.path(), {"--quiet", "-o", "cut.x91", name});
            EXPECT_EQ(r.status, 1);
            const std::string shown = piped ? "-" : name;
            EXPECT_EQ(r.err.rfind("x91: " + shown + ": warning: audio data cut short", 0), 0u)
                << r.err;
            ASSERT_EQ(run_x91(dir.path(), {"--quiet", "-o", "cut.wav", "cut.x91"}).status, 0);
            const AudioFile kept = read_audio(dir.file("cut.wav"));
            EXPECT_GT(kept.samples.size(), 2u * 40000);
            EXPECT_LT(kept.samples.size(), 2u * 50000);
        }
    }
}

TEST(AudioFormatsTest, StreamingSizesOfAWholeInputAreNoCut) {
    // A WAV written to a pipe carries all ones where its sizes go.
    ScratchDir dir;
    ASSERT_TRUE(write_audio(dir.file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 44100,
                            sine(30000, 2, 44100, 1000.0, 0.5)));
    Bytes wav = read_file(dir.file("a.wav"));
    const std::string id = "data";
    const auto data = std::search(wav.begin(), wav.end(), id.begin(), id.end()) - wav.begin();
    for (const auto at : {std::ptrdiff_t{4}, data + 4}) std::fill_n(wav.begin() + at, 4, 0xFF);
    write_file(dir.file("a.wav"), wav);
    const RunResult r = run_piped(dir.path(), {"--quiet", "-o", "a.x91", "-"}, "a.wav", "o");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(AudioFormatsTest, TheHighestRatesEncode) {
    // The resampler's first pieces give no frames at these rates.
    ScratchDir dir;
    for (const int rate : {767999, 768000}) {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(write_audio(dir.file("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, rate,
                                sine(rate / 10, 1, rate, 1000.0, 0.5)));
        EXPECT_EQ(run_x91(dir.path(), {"--quiet", "a.wav"}).status, 0);
        ASSERT_EQ(run_x91(dir.path(), {"--quiet", "a.x91"}).status, 0);
        EXPECT_EQ(read_audio(dir.file("a.x91.wav")).samples.size(), 2u * 4410);
    }
}

}  // namespace
