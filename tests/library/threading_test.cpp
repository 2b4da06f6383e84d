// Encoding and decoding on several threads: the packets, the audio and each
// packet's result are those of one thread, byte for byte, whatever the
// number of threads, the packets per run and the pieces the stream comes in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "format/settings_io.h"
#include "library/decoder.h"
#include "library/encoder.h"
#include "support/test_signals.h"
#include "support/x91_framing.h"

using namespace x91test;

namespace {

// An odd number of packets, so that the last run is cut short.
constexpr int kFrames = 9 * 14112 + 500;

x91::EncoderOptions with_frames_per_packet(int frames) {
    x91::EncoderOptions options;
    options.header.dsettings.group.frames = frames;
    return options;
}

// Frames per packet: the default; one, where a warm-up spans two packets;
// three, where it takes part of one.
const x91::EncoderOptions kHeaders[] = {with_frames_per_packet(16), with_frames_per_packet(1),
                                        with_frames_per_packet(3)};

int frames_per_packet(const x91::EncoderOptions& options) {
    return options.header.dsettings.group.frames;
}

// Threads and packets per run beside one thread.
struct Cut {
    int threads;
    int run_packets;
};
const Cut kCuts[] = {{2, 1}, {2, 3}, {3, 2}, {3, 5}, {8, 1}, {8, 3}, {2, 0}, {8, 0}};

// Pushed whole, or in pieces of an odd number of frames with packets taken
// between them, as from a pipe.
Bytes encode(const Pcm& pcm, const x91::EncoderOptions& options, const x91::Threading& threading,
             std::size_t piece) {
    x91::Encoder encoder(options, threading);
    EXPECT_TRUE(encoder.status().ok()) << encoder.status().message;
    const auto header = x91::x91_header_image(encoder.settings());
    Bytes file(header.begin(), header.end()), packet;
    const std::size_t frames = pcm.size() / 2;
    for (std::size_t at = 0; at < frames; at += piece) {
        EXPECT_TRUE(encoder.push(pcm.data() + 2 * at, std::min(piece, frames - at)).ok());
        while (encoder.next_packet(packet)) append_counted(file, packet);
    }
    EXPECT_TRUE(encoder.finish().ok());
    while (encoder.next_packet(packet)) append_counted(file, packet);
    append_end(file);
    return file;
}

x91::CheckedSettings settings_of(const Bytes& file) {
    std::optional<x91::CheckedSettings> settings;
    EXPECT_TRUE(x91::parse_x91_header(file.data(), file.size(), settings).ok());
    return *settings;
}

struct Decoded {
    Pcm pcm;
    std::vector<x91::Status> results;  // each packet's

    bool operator==(const Decoded&) const = default;
};

// Takes each packet's audio and result as soon as it is decoded.
Decoded decode(const Bytes& file, const x91::Threading& threading) {
    x91::Decoder decoder(settings_of(file), threading);
    EXPECT_TRUE(decoder.status().ok()) << decoder.status().message;
    Decoded out;
    const auto take = [&] {
        x91::Result result;
        std::span<const std::int16_t> pcm;
        while (decoder.pull_packet(pcm, result)) {
            out.pcm.insert(out.pcm.end(), pcm.begin(), pcm.end());
            out.results.push_back(result.status);
        }
    };
    for (const Bytes& packet : packets_of(file)) {
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
    Bytes out(file.begin(), file.begin() + kX91Header);
    int k = 0;
    for (Bytes packet : packets_of(file)) {
        if (k % 4 == 1) packet.resize(packet.size() / 2);
        if (k % 4 == 2) packet.push_back(0);
        if (k % 7 == 3)
            for (std::size_t i = 0; i < packet.size(); ++i)
                packet[i] = static_cast<std::uint8_t>(i * 37 + k);
        append_counted(out, packet);
        ++k;
    }
    append_end(out);
    return out;
}

TEST(ThreadingTest, EncodedFilesAreThoseOfOneThread) {
    const Pcm pcm = music_like_signal(kFrames, 15);
    for (const x91::EncoderOptions& header : kHeaders) {
        SCOPED_TRACE(frames_per_packet(header));
        const Bytes one = encode(pcm, header, {}, pcm.size());
        ASSERT_GT(one.size(), kX91Header + 4);
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
    for (const x91::EncoderOptions& header : kHeaders) {
        const Bytes file = encode(pcm, header, {}, pcm.size());
        for (const Bytes& stream : {file, damaged(file)}) {
            SCOPED_TRACE(testing::Message() << frames_per_packet(header) << " frames per packet"
                                            << (&stream != &file ? ", damaged" : ""));
            const Decoded one = decode(stream, {});
            ASSERT_FALSE(one.pcm.empty());
            for (const Cut& cut : kCuts) {
                SCOPED_TRACE(testing::Message()
                             << cut.threads << " threads, runs of " << cut.run_packets);
                EXPECT_TRUE(decode(stream, {cut.threads, cut.run_packets}) == one);
            }
        }
    }
}

TEST(ThreadingTest, SettingsOutOfRangeAreRefused) {
    const x91::Threading refused[] = {
        {0, 0}, {x91::kMaxThreads + 1, 0}, {2, -1}, {2, x91::kMaxRunPackets + 1}};
    for (const x91::Threading& t : refused) {
        SCOPED_TRACE(testing::Message() << t.threads << " threads, runs of " << t.run_packets);
        EXPECT_EQ(x91::Encoder(x91::EncoderOptions(), t).status().status,
                  x91::Status::invalid_argument);
        EXPECT_EQ(x91::Decoder(settings_of(encode({}, {}, {}, 1)), t).status().status,
                  x91::Status::invalid_argument);
    }
    x91::Decoder decoder(settings_of(encode({}, {}, {}, 1)), {2, 0});
    EXPECT_TRUE(decoder.finish().ok());
    EXPECT_EQ(decoder.finish().status, x91::Status::invalid_state);
    const std::uint8_t byte = 0;
    EXPECT_EQ(decoder.push_packet(&byte, 1).status, x91::Status::invalid_state);
    EXPECT_GE(x91::available_threads(), 1);
}

}  // namespace
