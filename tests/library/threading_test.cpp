// Encoding and decoding on several threads: the packets, the audio and each
// packet's result are those of one thread, byte for byte, whatever the
// number of threads, the packets per run and the pieces the stream comes in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "library/codec.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

// An odd number of packets, so that the last run is cut short.
constexpr int kFrames = 9 * 14112 + 500;

x91::Header with_frames_per_packet(int frames) {
    x91::Header h;
    h.frames_per_packet = frames;
    return h;
}

// Frames per packet: the default; one, where a warm-up spans two packets;
// three, where it takes part of one.
const x91::Header kHeaders[] = {x91::Header(), with_frames_per_packet(1),
                                with_frames_per_packet(3)};

// Threads and packets per run beside one thread.
struct Cut {
    int threads;
    int run_packets;
};
const Cut kCuts[] = {{2, 1}, {2, 3}, {3, 2}, {3, 5}, {8, 1}, {8, 3}, {2, 0}, {8, 0}};

// Pushed whole, or in pieces of an odd number of frames with packets taken
// between them, as from a pipe.
Bytes encode(const Pcm& pcm, const x91::Header& header, const x91::Threading& threading,
             std::size_t piece) {
    x91::Encoder encoder(header, threading);
    EXPECT_TRUE(encoder.status().ok()) << encoder.status().message;
    Bytes file = encoder.header().bytes(), packet;
    const std::size_t frames = pcm.size() / 2;
    for (std::size_t at = 0; at < frames; at += piece) {
        EXPECT_TRUE(encoder.push(pcm.data() + 2 * at, std::min(piece, frames - at)).ok());
        while (encoder.next_packet(packet)) x91::append_packet(file, packet);
    }
    EXPECT_TRUE(encoder.finish().ok());
    while (encoder.next_packet(packet)) x91::append_packet(file, packet);
    x91::append_end(file);
    return file;
}

struct Decoded {
    Pcm pcm;
    std::vector<x91::Status> results;  // each packet's

    bool operator==(const Decoded&) const = default;
};

// Takes each packet's audio and result as soon as it is decoded; trimmed,
// it keeps a span that starts and ends inside packets.
Decoded decode(const Bytes& file, const x91::Threading& threading, bool trimmed) {
    x91::Header header;
    EXPECT_TRUE(x91::Header::parse(file.data(), file.size(), header).ok());
    x91::Decoder decoder(header, threading);
    EXPECT_TRUE(decoder.status().ok()) << decoder.status().message;
    if (trimmed) {
        EXPECT_TRUE(decoder.trim(1001, kFrames - 3001).ok());
    }
    Decoded out;
    const auto take = [&] {
        x91::Result result;
        std::span<const std::int16_t> pcm;
        while (decoder.pull_packet(pcm, result)) {
            out.pcm.insert(out.pcm.end(), pcm.begin(), pcm.end());
            out.results.push_back(result.status);
        }
    };
    x91::PacketReader packets(file.data(), file.size());
    Bytes packet;
    while (packets.next(packet).ok() && !packet.empty()) {
        EXPECT_NE(decoder.push_packet(packet.data(), packet.size()).status,
                  x91::Status::packet_too_large);
        take();
    }
    EXPECT_TRUE(decoder.finish().ok());
    take();
    EXPECT_EQ(decoder.frames_ready(), 0u);
    return out;
}

// The file with packets cut short (they overrun), lengthened by a byte
// (left unread) and replaced by noise.
Bytes damaged(const Bytes& file) {
    Bytes out(file.begin(), file.begin() + x91::kHeaderBytes), packet;
    x91::PacketReader packets(file.data(), file.size());
    for (int k = 0; packets.next(packet).ok() && !packet.empty(); ++k) {
        if (k % 4 == 1) packet.resize(packet.size() / 2);
        if (k % 4 == 2) packet.push_back(0);
        if (k % 7 == 3)
            for (std::size_t i = 0; i < packet.size(); ++i)
                packet[i] = static_cast<std::uint8_t>(i * 37 + k);
        x91::append_packet(out, packet);
    }
    x91::append_end(out);
    return out;
}

TEST(ThreadingTest, EncodedFilesAreThoseOfOneThread) {
    const Pcm pcm = music_like_signal(kFrames, 15);
    for (const x91::Header& header : kHeaders) {
        SCOPED_TRACE(header.frames_per_packet);
        const Bytes one = encode(pcm, header, {}, pcm.size());
        ASSERT_GT(one.size(), x91::kHeaderBytes + 4);
        std::size_t piece = 1001;
        for (const Cut& cut : kCuts) {
            SCOPED_TRACE(testing::Message() << cut.threads << " threads, runs of "
                                            << cut.run_packets << ", pieces of " << piece);
            EXPECT_EQ(encode(pcm, header, {cut.threads, cut.run_packets}, piece), one);
            piece = piece == pcm.size() ? 1001 : pcm.size();
        }
    }
}

TEST(ThreadingTest, DecodedAudioAndResultsAreThoseOfOneThread) {
    const Pcm pcm = music_like_signal(kFrames, 16);
    for (const x91::Header& header : kHeaders) {
        const Bytes file = encode(pcm, header, {}, pcm.size());
        for (const Bytes& stream : {file, damaged(file)}) {
            const bool trimmed = &stream != &file;
            SCOPED_TRACE(testing::Message() << header.frames_per_packet << " frames per packet"
                                            << (trimmed ? ", damaged and trimmed" : ""));
            const Decoded one = decode(stream, {}, trimmed);
            ASSERT_FALSE(one.pcm.empty());
            if (trimmed) {
                EXPECT_EQ(one.pcm.size(), 2u * (kFrames - 3001));
            }
            for (const Cut& cut : kCuts) {
                SCOPED_TRACE(testing::Message()
                             << cut.threads << " threads, runs of " << cut.run_packets);
                EXPECT_TRUE(decode(stream, {cut.threads, cut.run_packets}, trimmed) == one);
            }
        }
    }
}

TEST(ThreadingTest, SettingsOutOfRangeAreRefused) {
    const x91::Threading refused[] = {
        {0, 0}, {x91::kMaxThreads + 1, 0}, {2, -1}, {2, x91::kMaxRunPackets + 1}};
    for (const x91::Threading& t : refused) {
        SCOPED_TRACE(testing::Message() << t.threads << " threads, runs of " << t.run_packets);
        EXPECT_EQ(x91::Encoder(x91::Header(), t).status().status, x91::Status::invalid_argument);
        EXPECT_EQ(x91::Decoder(x91::Header(), t).status().status, x91::Status::invalid_argument);
    }
    x91::Decoder decoder(x91::Header(), {2, 0});
    EXPECT_TRUE(decoder.finish().ok());
    EXPECT_EQ(decoder.finish().status, x91::Status::invalid_state);
    const std::uint8_t byte = 0;
    EXPECT_EQ(decoder.push_packet(&byte, 1).status, x91::Status::invalid_state);
    EXPECT_GE(x91::available_threads(), 1);
}

}  // namespace
