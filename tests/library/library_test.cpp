// The library's C++ classes: header values, encoder and decoder on
// memory, and the status values they give for bad input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "library/codec.h"
#include "support/test_seed.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

// The library builds the transform tables it needs by itself.
class LibraryTest : public testing::Test {};

// A whole x91 file from pcm, pushed in pieces of the given frame counts
// (cycled); an empty list pushes everything at once.
Bytes encode(const Pcm& pcm, const std::vector<std::size_t>& pieces,
             const x91::Header& header = {}) {
    x91::Encoder encoder(header);
    EXPECT_TRUE(encoder.status().ok()) << encoder.status().message;
    Bytes file = encoder.header().bytes();
    Bytes packet;
    const std::size_t frames = pcm.size() / 2;
    std::size_t at = 0;
    for (std::size_t k = 0; at < frames; ++k) {
        const std::size_t n =
            pieces.empty() ? frames : std::min(pieces[k % pieces.size()], frames - at);
        EXPECT_TRUE(encoder.push(pcm.data() + 2 * at, n).ok());
        at += n;
        while (encoder.next_packet(packet)) x91::append_packet(file, packet);
    }
    EXPECT_TRUE(encoder.finish().ok());
    while (encoder.next_packet(packet)) x91::append_packet(file, packet);
    x91::append_end(file);
    return file;
}

// Decodes a whole file held in memory.
Pcm decode(const Bytes& file) {
    x91::Header header;
    EXPECT_TRUE(x91::Header::parse(file.data(), file.size(), header).ok());
    x91::Decoder decoder(header);
    std::vector<std::int16_t> pcm;
    x91::PacketReader packets(file.data(), file.size());
    Bytes packet;
    for (;;) {
        const x91::Result r = packets.next(packet);
        EXPECT_TRUE(r.ok()) << r.message;
        if (!r || packet.empty()) break;
        EXPECT_TRUE(decoder.push_packet(packet.data(), packet.size()).ok());
        decoder.pull(pcm);
    }
    EXPECT_EQ(packets.offset(), file.size());
    return pcm;
}

TEST_F(LibraryTest, DefaultHeaderBytesAndParseRoundTrip) {
    const x91::Header h;
    const Bytes bytes = h.bytes();
    ASSERT_EQ(bytes.size(), x91::kHeaderBytes);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 10),
              (Bytes{'x', '9', '1', 0, 0, 0, 0x20, 0x03, 0, 0}));
    EXPECT_EQ(h.lines, 800);
    EXPECT_EQ(h.frames_per_packet, 16);
    EXPECT_FLOAT_EQ(h.quantizer_base, 1.1f);
    x91::Header back;
    back.lines = 0;
    ASSERT_TRUE(x91::Header::parse(bytes.data(), bytes.size(), back).ok());
    EXPECT_EQ(back.bytes(), bytes);
    EXPECT_TRUE(h.check().ok());
}

TEST_F(LibraryTest, HeaderParseRefusals) {
    const Bytes good = x91::Header().bytes();
    x91::Header out;
    out.lines = 123;  // must survive every refusal
    EXPECT_EQ(x91::Header::parse(good.data(), 2, out).status, x91::Status::not_x91);
    const Bytes riff = {'R', 'I', 'F', 'F'};
    EXPECT_EQ(x91::Header::parse(riff.data(), riff.size(), out).status, x91::Status::not_x91);
    const x91::Result cut = x91::Header::parse(good.data(), 61, out);
    EXPECT_EQ(cut.status, x91::Status::cut_short);
    EXPECT_EQ(cut.message, "x91 header cut short");
    Bytes damaged = good;
    damaged[30] = 0;  // frames per packet 0
    const x91::Result bad = x91::Header::parse(damaged.data(), damaged.size(), out);
    EXPECT_EQ(bad.status, x91::Status::header_damaged);
    EXPECT_EQ(bad.message, "x91 header damaged: frames per packet 0");
    EXPECT_EQ(x91::Header::parse(nullptr, 62, out).status, x91::Status::not_x91);
    EXPECT_EQ(out.lines, 123);
}

TEST_F(LibraryTest, QualityRescalesTheTwoSettings) {
    x91::Header h;
    ASSERT_TRUE(h.apply_quality(50.0f).ok());
    EXPECT_EQ(h.masking_level, 0.4f);
    EXPECT_EQ(h.quantizer_base, 1.21f);
    x91::Header unchanged;
    for (float q : {9.9f, 400.5f, -1.0f}) {
        const x91::Result r = unchanged.apply_quality(q);
        EXPECT_EQ(r.status, x91::Status::invalid_argument);
        EXPECT_EQ(unchanged.bytes(), x91::Header().bytes());
    }
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
    x91::Header bad;
    bad.frames_per_packet = 0;
    x91::Encoder refused(bad);
    EXPECT_EQ(refused.status().status, x91::Status::invalid_argument);
    const std::int16_t two[4] = {1, 2, 3, 4};
    EXPECT_EQ(refused.push(two, 2).status, x91::Status::invalid_argument);
    x91::Header wide;
    wide.lines = 1000;
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
    Bytes first;
    ASSERT_TRUE(x91::PacketReader(file.data(), file.size()).next(first).ok());

    x91::Decoder decoder{x91::Header()};
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

    x91::Header bad;
    bad.quantizer_base = 1.0f;
    x91::Decoder refused(bad);
    EXPECT_EQ(refused.status().status, x91::Status::header_damaged);
    EXPECT_EQ(refused.push_packet(first.data(), first.size()).status, x91::Status::header_damaged);
}

TEST_F(LibraryTest, PacketReaderFindsDamage) {
    Bytes file = x91::Header().bytes();
    x91::append_packet(file, Bytes{1, 2, 3});
    Bytes packet;
    x91::PacketReader reader(file.data(), file.size());
    EXPECT_TRUE(reader.next(packet).ok());
    EXPECT_EQ(packet, (Bytes{1, 2, 3}));
    EXPECT_EQ(reader.offset(), file.size());
    const x91::Result no_end = reader.next(packet);
    EXPECT_EQ(no_end.status, x91::Status::cut_short);
    EXPECT_EQ(no_end.message, "ends without its end marker");

    const struct {
        Bytes counts;  // behind the header
        x91::Status status;
        const char* message;
    } damaged[] = {
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
        SCOPED_TRACE(d.message);
        Bytes bad = x91::Header().bytes();
        bad.insert(bad.end(), d.counts.begin(), d.counts.end());
        const x91::Result r = x91::PacketReader(bad.data(), bad.size()).next(packet);
        EXPECT_EQ(r.status, d.status);
        EXPECT_EQ(r.message, d.message);
        EXPECT_TRUE(packet.empty());
    }
    EXPECT_EQ(x91::PacketReader(nullptr, 100).next(packet).status, x91::Status::cut_short);
}

TEST_F(LibraryTest, VersionIsTheProjects) {
    EXPECT_STREQ(x91::version(), X91_VERSION);
}

}  // namespace
