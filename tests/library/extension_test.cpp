// The library's exact-length files: the encoder's trailer, the stream info
// read back with its CRC, and the decoder trimmed to the input.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_signals.h"
#include "x91/x91.h"

using namespace x91test;

namespace {

constexpr std::size_t kBlock = 882;

// A whole file with the extension block, pcm pushed at once.
Bytes encode_exact(const Pcm& pcm, const std::vector<x91::Tag>& tags = {}) {
    x91::Encoder encoder;
    EXPECT_TRUE(encoder.set_tags(tags).ok());
    Bytes file = encoder.header().bytes();
    Bytes packet;
    EXPECT_TRUE(encoder.push(pcm.data(), pcm.size() / 2).ok());
    EXPECT_TRUE(encoder.finish().ok());
    while (encoder.next_packet(packet)) x91::append_packet(file, packet);
    EXPECT_TRUE(encoder.append_trailer(file).ok());
    return file;
}

// Decodes every packet; trimmed to the stream info unless it is null.
Pcm decode(const Bytes& file, const x91::StreamInfo* info) {
    x91::Header header;
    EXPECT_TRUE(x91::Header::parse(file.data(), file.size(), header).ok());
    x91::Decoder decoder(header);
    if (info) {
        EXPECT_TRUE(decoder.trim(info->lead_in, info->frames).ok());
    }
    Pcm pcm;
    x91::PacketReader packets(file.data(), file.size());
    Bytes packet;
    while (packets.next(packet).ok() && !packet.empty()) {
        EXPECT_TRUE(decoder.push_packet(packet.data(), packet.size()).ok());
        decoder.pull(pcm);
    }
    return pcm;
}

TEST(ExtensionTest, TrimmedDecodeIsTheInputsLengthAtLagZeroForEveryBlockCount) {
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
        const Bytes file = encode_exact(input);
        x91::StreamInfo info;
        ASSERT_TRUE(x91::read_stream_info(file.data(), file.size(), info).ok());
        EXPECT_EQ(info.frames, frames);
        EXPECT_EQ(info.lead_in, kBlock);
        const Pcm raw = decode(file, nullptr);
        const Pcm exact = decode(file, &info);
        ASSERT_EQ(exact.size(), 2 * frames);
        ASSERT_GE(raw.size(), 2 * (kBlock + frames));
        // The trimmed decode is the raw one past its lead-in, sample for sample.
        EXPECT_TRUE(std::equal(exact.begin(), exact.end(), raw.begin() + 2 * kBlock));
        // The tone reaches the last frame: nothing of the input was lost.
        if (frames > 100) {
            EXPECT_NE(exact[2 * frames - 2] | exact[2 * frames - 4], 0);
        }
    }
}

TEST(ExtensionTest, TagsAndEmptyInputsComeBack) {
    const std::vector<x91::Tag> tags = {{"TITLE", "Ünïcode ♪"}, {"ARTIST", "A"}, {"ARTIST", "B"}};
    const Bytes file = encode_exact(Pcm{}, tags);
    x91::StreamInfo info;
    ASSERT_TRUE(x91::read_stream_info(file.data(), file.size(), info).ok());
    EXPECT_EQ(info.frames, 0u);
    ASSERT_EQ(info.tags.size(), 3u);
    EXPECT_EQ(info.tags[0].value, "Ünïcode ♪");
    EXPECT_EQ(info.tags[2].value, "B");
    EXPECT_TRUE(decode(file, &info).empty());
}

TEST(ExtensionTest, EveryChangedByteIsSeen) {
    const Bytes good = encode_exact(music_like_signal(16 * 882, 3), {{"TITLE", "t"}});
    std::uint64_t block_bytes = 0;
    ASSERT_TRUE(x91::extension_size(good.data() + good.size() - 12, block_bytes).ok());
    const std::size_t block_start = good.size() - block_bytes;
    for (std::size_t at = 0; at < good.size(); ++at) {
        Bytes bad = good;
        bad[at] ^= 0x01;
        x91::StreamInfo info;
        const x91::Result r = x91::read_stream_info(bad.data(), bad.size(), info);
        ASSERT_FALSE(r.ok()) << "byte " << at;
        // A damaged block is told from damaged audio.
        if (at < block_start) {
            ASSERT_EQ(r.status, x91::Status::checksum_mismatch) << at;
        }
    }
}

TEST(ExtensionTest, CallsOutOfOrderAndBadTagsAreRefused) {
    x91::Encoder encoder;
    Bytes file;
    EXPECT_EQ(encoder.append_trailer(file).status, x91::Status::invalid_state);
    EXPECT_EQ(encoder.set_tags({{"A=B", "x"}}).status, x91::Status::invalid_argument);
    EXPECT_EQ(encoder.set_tags({{"", "x"}}).status, x91::Status::invalid_argument);
    EXPECT_EQ(encoder.set_tags({{"T", "\xFF"}}).status, x91::Status::invalid_argument);
    EXPECT_EQ(encoder.set_tags({{"T", std::string(x91::kMaxExtensionBytes, 'x')}}).status,
              x91::Status::invalid_argument);
    ASSERT_TRUE(encoder.finish().ok());
    EXPECT_TRUE(encoder.append_trailer(file).ok());
    EXPECT_EQ(encoder.append_trailer(file).status, x91::Status::invalid_state);

    const Bytes plain = [] {
        x91::Encoder e;
        Bytes f = e.header().bytes();
        EXPECT_TRUE(e.finish().ok());
        x91::append_end(f);
        return f;
    }();
    x91::StreamInfo info;
    EXPECT_EQ(x91::read_stream_info(plain.data(), plain.size(), info).status,
              x91::Status::no_extension);
    x91::Decoder decoder(x91::Header{});
    const Bytes one = {1};
    static_cast<void>(decoder.push_packet(one.data(), one.size()));
    EXPECT_EQ(decoder.trim(882, 1).status, x91::Status::invalid_state);
}

}  // namespace
