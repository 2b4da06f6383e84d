// The framing of an x91 file as the stream layer writes and reads it: the
// exact length and tags through the extension block, the CRC that sees
// every changed byte, the block's size limit, and the damage the parser
// names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/limits.h"
#include "stream/stream_check.h"
#include "stream/stream_parser.h"
#include "stream/stream_test_support.h"
#include "support/test_signals.h"
#include "support/x91_framing.h"

using namespace x91test;

namespace {

constexpr std::size_t kBlock = 882;

TEST(StreamFramingTest, ExactDecodeIsTheInputAtLagZeroForEveryBlockCount) {
    // Every remainder of a packet of 16 blocks, each length a whole number
    // of blocks and one frame short of it, so the last block is full once
    // and holds a single frame once.
    std::vector<std::size_t> lengths = {1, 881, 882, 883};
    for (std::size_t blocks = 2; blocks <= 33; ++blocks) {
        lengths.push_back(blocks * kBlock);
        lengths.push_back(blocks * kBlock - 1);
    }
    for (std::size_t frames : lengths) {
        SCOPED_TRACE("frames = " + std::to_string(frames));
        const Pcm input = tone_signal(static_cast<int>(frames), 1000.0, 0.5);
        const Bytes file = write_stream(input);
        const Decoded exact = decode_stream(file, Feed::at_will);
        ASSERT_EQ(exact.extension, x91::Status::ok);
        ASSERT_EQ(exact.pcm.size(), 2 * frames);
        // Without the block (which only follows the end marker), every
        // decoded frame: the exact decode is that past its lead-in, sample
        // for sample.
        const Bytes plain = write_stream(input, false);
        ASSERT_TRUE(std::equal(plain.begin(), plain.end(), file.begin()));
        const Decoded raw = decode_stream(plain, Feed::at_will);
        EXPECT_EQ(raw.extension, x91::Status::no_extension);
        ASSERT_GE(raw.pcm.size(), 2 * (kBlock + frames));
        EXPECT_TRUE(std::equal(exact.pcm.begin(), exact.pcm.end(), raw.pcm.begin() + 2 * kBlock));
        // The tone reaches the last frame: nothing of the input was lost.
        if (frames > 100) {
            EXPECT_NE(exact.pcm[2 * frames - 2] | exact.pcm[2 * frames - 4], 0);
        }
    }
}

TEST(StreamFramingTest, TagsComeBackInOrder) {
    const std::vector<x91::Tag> tags = {{"TITLE", "Ünïcode ♪"}, {"ARTIST", "A"}, {"ARTIST", "B"}};
    for (Feed feed : {Feed::at_will, Feed::one_pass}) {
        const Decoded got = decode_stream(write_stream(Pcm{}, true, tags), feed);
        EXPECT_TRUE(got.pcm.empty());
        ASSERT_EQ(got.tags.size(), 3u);
        EXPECT_EQ(got.tags[0].value, "Ünïcode ♪");
        EXPECT_EQ(got.tags[2].value, "B");
    }
}

// A changed byte before the block is a checksum mismatch, one in the block
// a damaged block: read at will or in one pass alike.
TEST(StreamFramingTest, EveryChangedByteIsSeen) {
    const Bytes good = write_stream(music_like_signal(16 * 882, 3), true, {{"TITLE", "t"}});
    const std::size_t block_start = good.size() - le32(good, good.size() - 8);
    for (bool seekable : {true, false}) {
        SCOPED_TRACE(seekable ? "at will" : "one pass");
        // Every byte of the header and of the block, and packet bytes apart.
        for (std::size_t at = 0; at < good.size();
             at += at < 70 || at + 1 >= block_start - 4 ? 1 : 89) {
            Bytes bad = good;
            bad[at] ^= 0x01;
            BytesSource source(bad, seekable);
            const x91::Result r = x91::check_stream(source, {});
            ASSERT_EQ(r.status, at < block_start ? x91::Status::checksum_mismatch
                                                 : x91::Status::extension_damaged)
                << "byte " << at << ": " << r.message;
        }
    }
}

// The largest block is accepted whole, one byte more refused: by the writer
// before anything of it is written, and by the reader from its footer.
TEST(StreamFramingTest, TheLargestBlockIsSixteenMebibytes) {
    const std::size_t fixed = x91::extension_block_bytes({"T="});
    const std::string filler(x91::kMaxExtensionBytes - fixed, 'v');
    const Bytes file = write_stream(Pcm{}, true, {{"T", filler}});
    EXPECT_EQ(le32(file, file.size() - 8), x91::kMaxExtensionBytes);
    for (Feed feed : {Feed::at_will, Feed::one_pass}) {
        const Decoded got = decode_stream(file, feed);
        EXPECT_EQ(got.extension, x91::Status::ok);
        ASSERT_EQ(got.tags.size(), 1u);
        EXPECT_EQ(got.tags[0].value.size(), filler.size());
    }

    x91::StreamWriter writer([](const std::uint8_t*, std::size_t) { return true; });
    EXPECT_EQ(writer.add_tag({"T", filler + "v"}).status, x91::Status::invalid_argument);
    EXPECT_TRUE(writer.add_tag({"T", filler}).ok());
    EXPECT_EQ(writer.add_tag({"U", ""}).status, x91::Status::invalid_argument);
    EXPECT_TRUE(writer.finish().ok());

    // A footer that claims one byte more makes no block.
    Bytes over = file;
    set_le32(over, over.size() - 8, static_cast<std::uint32_t>(x91::kMaxExtensionBytes + 1));
    EXPECT_EQ(decode_stream(over, Feed::at_will).extension, x91::Status::extension_damaged);
}

TEST(StreamFramingTest, WriterRefusesWhatDoesNotFit) {
    x91::StreamWriter writer([](const std::uint8_t*, std::size_t) { return true; });
    EXPECT_EQ(writer.add_tag({"A=B", "x"}).status, x91::Status::invalid_argument);
    EXPECT_EQ(writer.add_tag({"", "x"}).status, x91::Status::invalid_argument);
    EXPECT_EQ(writer.add_tag({"T", "\xFF"}).status, x91::Status::invalid_argument);
    ASSERT_TRUE(writer.finish().ok());
    EXPECT_EQ(writer.finish().status, x91::Status::invalid_state);
    EXPECT_EQ(writer.add_tag({"T", "x"}).status, x91::Status::invalid_state);

    // A sink that fails fails the writer, once and for all.
    int calls = 0;
    x91::StreamWriter failing([&calls](const std::uint8_t*, std::size_t) { return ++calls > 1; });
    EXPECT_EQ(failing.begin().status, x91::Status::write_failed);
    EXPECT_EQ(failing.finish().status, x91::Status::write_failed);
}

// The damage a walk meets, named as the file is read at will (its size
// known) and as a stream, alike.
TEST(StreamFramingTest, ParserNamesTheDamage) {
    Bytes good = write_stream(Pcm{}, false);
    good.resize(kX91Header);
    const struct {
        Bytes counts;  // behind the header
        x91::Status status;
        const char* message;
    } damaged[] = {
        {{3, 0, 0, 0, 1, 2, 3}, x91::Status::cut_short, "ends without its end marker"},
        {{3, 0, 0, 0, 1, 2},
         x91::Status::cut_short,
         "packet 1 claims 3 bytes, more than the file holds"},
        {{0xF0, 0xFF, 0xFF, 0xFF},
         x91::Status::packet_too_large,
         "packet 1 has a negative byte count, -16"},
        {{1, 0, 0x40, 0},
         x91::Status::packet_too_large,
         "packet 1 claims 4194305 bytes, more than the file holds"},
    };
    for (const auto& d : damaged) {
        for (bool seekable : {true, false}) {
            SCOPED_TRACE(testing::Message() << d.message << (seekable ? ", at will" : ""));
            Bytes bad = good;
            bad.insert(bad.end(), d.counts.begin(), d.counts.end());
            x91::FileLayout layout;
            if (seekable) layout.size = bad.size();
            x91::StreamParser parser(layout);
            parser.feed(bad.data(), bad.size());
            parser.end_input();
            x91::StreamParser::Step step;
            while ((step = parser.next()) != x91::StreamParser::Step::walked) {
                ASSERT_NE(step, x91::StreamParser::Step::ended);
            }
            EXPECT_EQ(parser.walk().status, d.status);
            EXPECT_EQ(parser.walk().message, d.message);
        }
    }
}

}  // namespace
