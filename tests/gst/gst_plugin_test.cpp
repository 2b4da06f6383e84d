// The plugin in GStreamer pipelines, against the C interface's own decode
// and encode of the same audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "api/api_test_support.h"
#include "gst/gst_pipeline.h"
#include "support/scratch_dir.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr std::uint64_t kBlock = 882;
const std::string kPcmCaps = "audio/x-raw,format=S16LE,rate=44100,channels=2,layout=interleaved";
const std::string kToSink = " ! audioconvert ! " + kPcmCaps + " ! appsink name=sink sync=false";

Pcm as_pcm(const Bytes& bytes) {
    Pcm pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), 2 * pcm.size());
    return pcm;
}

class GstPluginTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!gst_ready(&why)) GTEST_SKIP() << why;
        if (file_.empty()) {
            // Seven packets of loud, changing music, in a file without the
            // extension block and in one with it (the exact length).
            pcm_ = music_like_signal(100000, 21);
            file_ = c_encode(pcm_);
            MemoryDecoder d(file_);
            full_ = c_read_all(d.decoder);
            exact_file_ = c_encode(pcm_, 0, true);
            MemoryDecoder exact(exact_file_);
            exact_ = c_read_all(exact.decoder);
        }
    }

    std::string file_with(const Bytes& bytes, const char* name = "song.x91") {
        const std::string path = dir_.file(name);
        write_file(path, bytes);
        return "filesrc location=" + path;
    }
    static std::uint64_t length() { return full_.size() / 2; }
    static Pcm slice(std::uint64_t from, std::uint64_t to) {
        return Pcm(full_.begin() + static_cast<long>(2 * from),
                   full_.begin() + static_cast<long>(2 * to));
    }

    ScratchDir dir_;
    static Pcm pcm_;
    static Bytes file_, exact_file_;
    static Pcm full_, exact_;  // their decodes from the start
};

Pcm GstPluginTest::pcm_;
Bytes GstPluginTest::file_;
Bytes GstPluginTest::exact_file_;
Pcm GstPluginTest::full_;
Pcm GstPluginTest::exact_;

// Pull mode with the whole index and the extension block first, push mode
// with the index as it comes (and the block, at the end, unseen), and the
// elements decodebin finds by the type finder and ranks.
TEST_F(GstPluginTest, DecodeEqualsTheLibrarysInEveryWayOfPlaying) {
    struct Case {
        const char* chain;
        const Bytes& file;
        const Pcm& decoded;
    } const cases[] = {
        {"x91parse ! x91dec", file_, full_},
        {"queue ! x91parse ! x91dec", file_, full_},
        {"decodebin", file_, full_},
        {"x91parse ! x91dec", exact_file_, exact_},
        {"queue ! x91parse ! x91dec", exact_file_, full_},
        {"decodebin", exact_file_, exact_},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chain) + (&c.file == &file_ ? "" : ", exact length"));
        const PipelineRun run = run_pipeline(file_with(c.file) + " ! " + c.chain + kToSink);
        EXPECT_EQ(run.error, "");
        EXPECT_EQ(run.warnings, 0);
        EXPECT_TRUE(as_pcm(run.data) == c.decoded) << run.data.size() / 4 << " frames";
    }
    EXPECT_EQ(exact_.size(), pcm_.size());
}

// The duration the pipeline tells, and the durations the packets and the
// decoded buffers carry, add up to the stream's length.
TEST_F(GstPluginTest, DurationsAreTheStreamsLength) {
    for (const Bytes* file : {&file_, &exact_file_}) {
        SCOPED_TRACE(file == &file_ ? "without the block" : "with the block");
        const std::int64_t expected = (file == &file_ ? full_ : exact_).size() / 2;
        const std::string source = file_with(*file);
        EXPECT_EQ(pipeline_duration(source + " ! x91parse ! x91dec ! fakesink"), expected);
        for (const char* chain : {" ! x91parse", " ! x91parse ! x91dec"}) {
            SCOPED_TRACE(chain);
            const PipelineRun run =
                run_pipeline(source + chain + " ! appsink name=sink sync=false");
            EXPECT_EQ(run.error, "");
            EXPECT_EQ(run.duration_frames, expected);
        }
    }
}

TEST_F(GstPluginTest, SeeksGiveTheMatchingSlice) {
    const std::string source = file_with(file_);
    const std::uint64_t packet1 = 15 * kBlock;  // where packet 1's audio starts
    struct Case {
        std::string name;
        std::uint64_t frame;
    } const cases[] = {
        {"start", 0},
        {"inside the first packet", 1000},
        {"packet 1", packet1},
        {"where a decoder started at packet 1 is exact", packet1 + 2 * kBlock},
        {"a frame before that", packet1 + 2 * kBlock - 1},
        // Within both timelines: the input's length is the shorter.
        {"the middle", pcm_.size() / 4 + 7},
        {"near the end", pcm_.size() / 2 - 500},
    };
    // Pull mode, and push mode, where the index holds the packets seen; and
    // pull mode on the exact timeline of a file with the extension block.
    struct Way {
        std::string source, chain;
        const Pcm& decoded;
    } const ways[] = {
        {source, " ! x91parse ! x91dec", full_},
        {source, " ! queue ! x91parse ! x91dec", full_},
        {file_with(exact_file_, "exact.x91"), " ! x91parse ! x91dec", exact_},
    };
    for (const Case& c : cases)
        for (const Way& way : ways) {
            SCOPED_TRACE(c.name + way.chain + (&way.decoded == &exact_ ? ", exact length" : ""));
            const PipelineRun run = run_pipeline(way.source + way.chain + kToSink, &c.frame);
            EXPECT_EQ(run.error, "");
            EXPECT_EQ(run.first_frame, c.frame);
            const Pcm got = as_pcm(run.data);
            const Pcm expected(way.decoded.begin() + static_cast<long>(2 * c.frame),
                               way.decoded.end());
            EXPECT_EQ(got.size(), expected.size());
            const auto differ =
                std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
            EXPECT_TRUE(differ.first == got.end())
                << "frames differ from " << (differ.first - got.begin()) / 2 << " on";
        }
}

TEST_F(GstPluginTest, EncoderWritesWhatTheLibraryWrites) {
    const PipelineRun run = run_with_source(
        "appsrc name=src format=time caps=" + kPcmCaps + " ! x91enc ! appsink name=sink sync=false",
        pcm_);
    EXPECT_EQ(run.error, "");
    EXPECT_TRUE(run.data == file_) << run.data.size() << " bytes, " << file_.size() << " expected";
}

// Damage never stops a player: the audio before it plays, with a warning;
// and a run of damaged packets ends the stream, as the library's policy has
// it, instead of playing noise for as long as the file has packets.
TEST_F(GstPluginTest, DamagedFilesPlayWithAWarning) {
    const std::size_t packet0 = 62, packet1 = packet0 + 4 + (file_[62] | file_[63] << 8);
    Bytes negative_count = file_;
    negative_count[packet1 + 3] = 0x80;
    Bytes garbled = file_;
    for (std::size_t i = packet1 + 20; i < packet1 + 400; ++i) garbled[i] ^= 0x5A;
    Bytes block_changed = exact_file_;
    block_changed[block_changed.size() - 20] ^= 1;
    // A 25 KB file of one-byte packets behind packet 0.
    Bytes tiny(file_.begin(), file_.begin() + static_cast<long>(packet1));
    for (int i = 0; i < 5000; ++i) tiny.insert(tiny.end(), {1, 0, 0, 0, static_cast<uint8_t>(i)});
    tiny.insert(tiny.end(), {0, 0, 0, 0});
    struct Case {
        const char* name;
        Bytes bytes;
        std::uint64_t frames;  // the audio that plays
        bool warns;
    } const cases[] = {
        {"cut inside packet 1", Bytes(file_.begin(), file_.begin() + packet1 + 50), 15 * kBlock,
         true},
        {"packet 1 has a negative count", negative_count, 15 * kBlock, true},
        // Garbled bits decode to something: the audio keeps its length.
        {"packet 1 garbled", garbled, length(), true},
        // A block that cannot be trusted: every decoded frame plays.
        {"extension block changed", block_changed, length(), true},
        {"tiny packets", tiny, (16 * (1 + X91_MAX_DAMAGED_IN_A_ROW) - 1) * kBlock, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PipelineRun run = run_pipeline(file_with(c.bytes) + " ! x91parse ! x91dec" + kToSink);
        EXPECT_EQ(run.error, "");
        EXPECT_EQ(run.data.size() / 4, c.frames);
        EXPECT_EQ(run.warnings > 0, c.warns);
        // Packet 0's audio does not depend on packet 1.
        const Pcm played = as_pcm(run.data);
        EXPECT_TRUE(played.size() >= 2 * 15 * kBlock &&
                    Pcm(played.begin(), played.begin() + 2 * 15 * kBlock) == slice(0, 15 * kBlock));
    }
}

}  // namespace
