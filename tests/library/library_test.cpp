// The library's C++ classes: encoder and decoder on memory, and the status
// values they give for bad input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "format/settings_io.h"
#include "library/decoder.h"
#include "library/encoder.h"
#include "library/version.h"
#include "support/test_seed.h"
#include "support/test_signals.h"
#include "support/x91_framing.h"

using namespace x91test;

namespace {

// The library builds the transform tables it needs by itself.
class LibraryTest : public testing::Test {};

Bytes header_bytes(const x91::HeaderSettings& settings) {
    const auto image = x91::x91_header_image(settings);
    return Bytes(image.begin(), image.end());
}

x91::CheckedSettings checked(const x91::HeaderSettings& settings = {}) {
    std::optional<x91::CheckedSettings> made;
    EXPECT_TRUE(x91::check_settings(settings, made).ok());
    return *made;
}

// A whole x91 file from pcm, pushed in pieces of the given frame counts
// (cycled); an empty list pushes everything at once.
Bytes encode(const Pcm& pcm, const std::vector<std::size_t>& pieces) {
    x91::Encoder encoder;
    EXPECT_TRUE(encoder.status().ok()) << encoder.status().message;
    Bytes file = header_bytes(encoder.settings());
    Bytes packet;
    const std::size_t frames = pcm.size() / 2;
    std::size_t at = 0;
    for (std::size_t k = 0; at < frames; ++k) {
        const std::size_t n =
            pieces.empty() ? frames : std::min(pieces[k % pieces.size()], frames - at);
        EXPECT_TRUE(encoder.push(pcm.data() + 2 * at, n).ok());
        at += n;
        while (encoder.next_packet(packet)) append_counted(file, packet);
    }
    EXPECT_TRUE(encoder.finish().ok());
    while (encoder.next_packet(packet)) append_counted(file, packet);
    append_end(file);
    return file;
}

// Decodes every packet of a file held in memory.
Pcm decode(const Bytes& file) {
    x91::Decoder decoder(checked());
    std::vector<std::int16_t> pcm;
    for (const Bytes& packet : packets_of(file)) {
        EXPECT_TRUE(decoder.push_packet(packet.data(), packet.size()).ok());
        decoder.pull(pcm);
    }
    return pcm;
}

TEST_F(LibraryTest, PiecesOfAnySizeGiveTheSameFile) {
    SeededRng rng(12345);
    const Pcm pcm = music_like_signal(3 * 14112 + 333, 8);
    const Bytes whole = encode(pcm, {});
    std::vector<std::size_t> pieces;
    for (int k = 0; k < 50; ++k)
        pieces.push_back(std::uniform_int_distribution<std::size_t>(0, 3000)(rng));
    pieces.push_back(1);
    EXPECT_EQ(encode(pcm, pieces), whole);
    EXPECT_EQ(encode(pcm, {1, 881, 882, 883}), whole);
}

TEST_F(LibraryTest, RoundTripKeepsEverySample) {
    for (int frames : {0, 1, 14112, 2 * 14112 + 5}) {
        SCOPED_TRACE(frames);
        const Pcm pcm = tone_signal(frames, 1000.0, 0.5);
        const Bytes file = encode(pcm, {4096});
        const Pcm out = decode(file);
        const std::size_t blocks = (static_cast<std::size_t>(frames) + 881) / 882;
        const std::size_t packets = frames == 0 ? 0 : (blocks + 2 + 15) / 16;
        ASSERT_EQ(out.size(), packets == 0 ? 0u : (16 * packets - 1) * 882 * 2);
        if (frames >= 2 * 882) {
            EXPECT_GT(snr_db(pcm, out, 882), 10.0);
        }
        if (frames > 0) {
            EXPECT_GE(out.size(), 2u * (882 + static_cast<std::size_t>(frames)));
        }
    }
}

TEST_F(LibraryTest, EncoderStatuses) {
    x91::EncoderOptions bad;
    bad.header.dsettings.group.frames = 0;
    x91::Encoder refused(bad);
    EXPECT_EQ(refused.status().status, x91::Status::invalid_argument);
    const std::int16_t two[4] = {1, 2, 3, 4};
    EXPECT_EQ(refused.push(two, 2).status, x91::Status::invalid_argument);
    x91::EncoderOptions wide;
    wide.header.dsettings.global.lines = 1000;
    EXPECT_EQ(x91::Encoder(wide).status().status, x91::Status::invalid_argument);

    x91::Encoder encoder;
    EXPECT_EQ(encoder.push(nullptr, 3).status, x91::Status::invalid_argument);
    EXPECT_TRUE(encoder.push(nullptr, 0).ok());
    EXPECT_TRUE(encoder.push(two, 2).ok());
    EXPECT_EQ(encoder.frames_pushed(), 2u);
    EXPECT_TRUE(encoder.finish().ok());
    EXPECT_EQ(encoder.push(two, 2).status, x91::Status::invalid_state);
    EXPECT_EQ(encoder.finish().status, x91::Status::invalid_state);
    Bytes packet;
    EXPECT_TRUE(encoder.next_packet(packet));
    EXPECT_FALSE(packet.empty());
    EXPECT_FALSE(encoder.next_packet(packet));
}

TEST_F(LibraryTest, DecoderStatusesForDamagedPackets) {
    const Bytes file = encode(music_like_signal(3 * 14112, 9), {});
    const Bytes first = packets_of(file).front();

    x91::Decoder decoder{checked()};
    Bytes padded = first;
    padded.push_back(0);
    EXPECT_EQ(decoder.push_packet(padded.data(), padded.size()).status,
              x91::Status::packet_unread_bytes);
    const std::size_t frames = decoder.frames_ready();
    EXPECT_EQ(frames, 15u * 882);
    std::vector<std::int16_t> pcm;
    EXPECT_EQ(decoder.pull(pcm), frames);
    EXPECT_EQ(decoder.frames_ready(), 0u);
    const Bytes shortened(first.begin(), first.end() - 2);
    EXPECT_EQ(decoder.push_packet(shortened.data(), shortened.size()).status,
              x91::Status::packet_overrun);
    EXPECT_EQ(decoder.push_packet(first.data(), 0).status, x91::Status::packet_too_large);
}

TEST_F(LibraryTest, VersionIsTheProjects) {
    EXPECT_STREQ(x91::version(), X91_VERSION);
}

}  // namespace
