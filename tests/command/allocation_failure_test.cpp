// The command's conversion functions with each allocation in turn made to
// fail: every run ends converted or out_of_memory, and a failed one leaves
// nothing beside its input (no temporary file, no partial output). Encodes
// of CD WAV through the own reader, with its texts and the command line's
// tags, and of FLAC through libsndfile, from a file and from a stream;
// decodes of a file with the block to WAV and FLAC and the check of -t,
// from a file and from a stream. (Built with X91_ALLOC_FAIL; leaks show
// under AddressSanitizer.)
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "command/conversions.h"
#include "support/audio_files.h"
#include "support/failing_allocator.h"
#include "support/scratch_dir.h"
#include "support/test_signals.h"
#include "support/wav_bytes.h"

using namespace x91test;

namespace {

struct ConversionCase {
    const char* name;
    const char* input;
    bool stream;  // read through an open stream, as standard input is
};

// Runs `convert` on dir/name, opened outside the watched allocations (by its
// name, or through an open stream as standard input is), then closes it.
template <class Convert>
x91::cli::ConversionResult convert_input(const ScratchDir& dir, const char* name, bool stream,
                                         const Convert& convert) {
    std::FILE* file = nullptr;
    std::optional<x91::cli::Source> in;
    {
        const AllocationsUnwatched unwatched;
        if (stream) file = std::fopen(dir.file(name).c_str(), "rb");
        in = stream ? x91::cli::Source("-", file, "") : x91::cli::Source(dir.file(name));
    }
    x91::cli::ConversionResult done = convert(*in);
    const AllocationsUnwatched unwatched;
    if (file != nullptr) std::fclose(file);
    return done;
}

// One encode of the case's input into dir/out.x91.
x91::cli::ConversionResult encode(const ConversionCase& c, const ScratchDir& dir,
                                  const x91::cli::EncodeSettings& settings) {
    std::string out;
    {
        const AllocationsUnwatched unwatched;
        out = dir.file("out.x91");
    }
    return convert_input(dir, c.input, c.stream, [&](const x91::cli::Source& in) {
        x91::cli::ProgressDisplay display(nullptr, false);
        return x91::cli::WaveToXFile(in, out, settings, display, nullptr);
    });
}

class CommandAllocationFailureTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(CommandAllocationFailureTest, EveryAllocationOfAConversionMayFail) {
    const ConversionCase& c = GetParam();
    ScratchDir dir;
    const Pcm pcm = music_like_signal(3 * 882 + 300, 7);
    Bytes info;
    put_id(info, "INFO");
    append(info, chunk("INAM", Bytes(5, 't')));
    Bytes data;
    for (std::int16_t s : pcm) put16(data, static_cast<std::uint16_t>(s));
    write_file(dir.file("a.wav"),
               riff({chunk("fmt ", cd_fmt_body()), chunk("LIST", info), chunk("data", data)}));
    ASSERT_TRUE(write_pcm16(dir.file("a.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, pcm,
                            {{SF_STR_TITLE, "t"}}));
    x91::cli::EncodeSettings settings;
    settings.tags = {{"~X", "1"}, {"ARTIST", "a"}};
    ASSERT_TRUE(encode(c, dir, settings).result);
    const Bytes reference = read_file(dir.file("out.x91"));
    std::remove(dir.file("out.x91").c_str());
    const std::vector<std::string> inputs = list_dir(dir.path());

    std::size_t runs = 0;
    const std::vector<std::string> problems = sweep_allocation_failures(
        [&]() -> std::string {
            const x91::cli::ConversionResult done = encode(c, dir, settings);
            const AllocationsUnwatched unwatched;
            if (done.result) {
                const bool same = read_file(dir.file("out.x91")) == reference;
                std::remove(dir.file("out.x91").c_str());
                return same ? "" : "a whole run gave another file";
            }
            if (done.result.status != x91::Status::out_of_memory) return done.result.message;
            // Sorted, a hidden temporary file comes first.
            const std::vector<std::string> left = list_dir(dir.path());
            return left == inputs ? "" : "a failed run left " + left.front();
        },
        runs);
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_GT(runs, 100u);
}

struct DecodeCase {
    const char* name;
    const char* output;  // none: the check of -t, which writes nothing
    bool stream;
};

// One decode of dir/a.x91 into dir/output, or its check.
x91::cli::ConversionResult decode(const DecodeCase& c, const ScratchDir& dir) {
    std::string out;
    if (c.output) {
        const AllocationsUnwatched unwatched;
        out = dir.file(c.output);
    }
    return convert_input(dir, "a.x91", c.stream, [&](const x91::cli::Source& in) {
        x91::cli::ConversionResult done;
        if (c.output) {
            x91::cli::ProgressDisplay display(nullptr, false);
            done = x91::cli::XFileToWave(in, out, false, display, nullptr);
        } else {
            done.result = x91::cli::TestXFile(in, nullptr);
        }
        return done;
    });
}

class CommandDecodeAllocationFailureTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(CommandDecodeAllocationFailureTest, EveryAllocationOfADecodeOrACheckMayFail) {
    const DecodeCase& c = GetParam();
    ScratchDir dir;
    const Pcm pcm = music_like_signal(3 * 882 + 300, 8);
    write_file(dir.file("a.wav"), make_wav(pcm));
    x91::cli::EncodeSettings settings;
    settings.tags = {{"TITLE", "t"}};
    ConversionCase encoding{"", "a.wav", false};
    ASSERT_TRUE(encode(encoding, dir, settings).result);
    std::rename(dir.file("out.x91").c_str(), dir.file("a.x91").c_str());
    std::remove(dir.file("a.wav").c_str());
    ASSERT_TRUE(decode(c, dir).result);
    const Bytes reference = c.output ? read_file(dir.file(c.output)) : Bytes();
    if (c.output) std::remove(dir.file(c.output).c_str());
    const std::vector<std::string> inputs = list_dir(dir.path());

    std::size_t runs = 0;
    const std::vector<std::string> problems = sweep_allocation_failures(
        [&]() -> std::string {
            const x91::cli::ConversionResult done = decode(c, dir);
            const AllocationsUnwatched unwatched;
            if (done.result) {
                if (!c.output) return "";
                const bool same = read_file(dir.file(c.output)) == reference;
                std::remove(dir.file(c.output).c_str());
                return same ? "" : "a whole run gave another file";
            }
            if (done.result.status != x91::Status::out_of_memory) return done.result.message;
            const std::vector<std::string> left = list_dir(dir.path());
            return left == inputs ? "" : "a failed run left " + left.front();
        },
        runs);
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_GT(runs, 50u);
}

INSTANTIATE_TEST_SUITE_P(
    Decodes, CommandDecodeAllocationFailureTest,
    testing::Values(DecodeCase{"Wave", "out.wav", false}, DecodeCase{"WaveStream", "out.wav", true},
                    DecodeCase{"Flac", "out.flac", false}, DecodeCase{"Check", nullptr, false},
                    DecodeCase{"CheckStream", nullptr, true}),
    [](const testing::TestParamInfo<DecodeCase>& p) { return std::string(p.param.name); });

INSTANTIATE_TEST_SUITE_P(Encodes, CommandAllocationFailureTest,
                         testing::Values(ConversionCase{"CdWave", "a.wav", false},
                                         ConversionCase{"CdWaveStream", "a.wav", true},
                                         ConversionCase{"Flac", "a.flac", false},
                                         ConversionCase{"FlacStream", "a.flac", true}),
                         [](const testing::TestParamInfo<ConversionCase>& p) {
                             return std::string(p.param.name);
                         });

}  // namespace
