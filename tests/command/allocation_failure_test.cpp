// The command's conversion function with each allocation in turn made to
// fail: every run ends converted or out_of_memory, and a failed one leaves
// nothing beside its input (no temporary file, no partial output). CD WAV
// through the own reader, with its texts and the command line's tags, and
// FLAC through libsndfile from a file and from a stream. (Built with
// X91_ALLOC_FAIL; leaks show under AddressSanitizer.)
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

// One encode of the case's input into dir/out.x91.
x91::cli::ConversionResult encode(const ConversionCase& c, const ScratchDir& dir,
                                  const x91::cli::EncodeSettings& settings) {
    std::FILE* stream = nullptr;
    std::optional<x91::cli::Source> in;
    std::string out;
    {
        const AllocationsUnwatched unwatched;
        if (c.stream) stream = std::fopen(dir.file(c.input).c_str(), "rb");
        in = c.stream ? x91::cli::Source("-", stream, "") : x91::cli::Source(dir.file(c.input));
        out = dir.file("out.x91");
    }
    x91::cli::ProgressDisplay display(nullptr, false);
    x91::cli::ConversionResult done = x91::cli::WaveToXFile(*in, out, settings, display, nullptr);
    const AllocationsUnwatched unwatched;
    if (stream != nullptr) std::fclose(stream);
    return done;
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

INSTANTIATE_TEST_SUITE_P(Encodes, CommandAllocationFailureTest,
                         testing::Values(ConversionCase{"CdWave", "a.wav", false},
                                         ConversionCase{"CdWaveStream", "a.wav", true},
                                         ConversionCase{"Flac", "a.flac", false},
                                         ConversionCase{"FlacStream", "a.flac", true}),
                         [](const testing::TestParamInfo<ConversionCase>& p) {
                             return std::string(p.param.name);
                         });

}  // namespace
