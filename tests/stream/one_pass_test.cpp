// A stream read in one pass, pulled or pushed in pieces of any size, decodes
// to the very audio and outcomes of the same file read at will: intact or
// damaged, with the extension block or without it.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "stream/stream_test_support.h"
#include "support/test_seed.h"
#include "support/test_signals.h"
#include "support/x91_framing.h"

using namespace x91test;

namespace {

constexpr std::size_t kBlock = 882;
// Outcomes that depend on what a changed bit makes of a packet.
constexpr std::size_t kAnyNumber = SIZE_MAX;

// The file with packet `which` changed by `change` and recounted.
Bytes with_packet(const Bytes& file, std::size_t which, const std::function<void(Bytes&)>& change) {
    Bytes out(file.begin(), file.begin() + kX91Header);
    const std::vector<Bytes> packets = packets_of(file);
    std::size_t end = kX91Header;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        Bytes packet = packets[i];
        end += 4 + packet.size();
        if (i == which) change(packet);
        append_counted(out, packet);
    }
    out.insert(out.end(), file.begin() + static_cast<long>(end), file.end());
    return out;
}

struct Case {
    const char* name;
    Bytes file;
};

std::vector<Case> cases() {
    const Pcm pcm = music_like_signal(5 * 14112 + 777, 21);
    const Bytes exact = write_stream(pcm);
    const Bytes plain = write_stream(pcm, false);
    Bytes tiny(exact.begin(), exact.begin() + kX91Header);
    for (int i = 0; i < 12; ++i) append_counted(tiny, {static_cast<std::uint8_t>(i)});
    append_end(tiny);
    Bytes negative = exact;
    set_le32(negative, kX91Header + 4 + le32(exact, kX91Header), 0xFFFFFFF0u);
    Bytes flipped = exact;
    flipped[kX91Header + 40] ^= 0x10;
    Bytes junk = plain;
    junk.insert(junk.end(), {1, 2, 3});
    // The last packet's count grown by 8: the walk takes the end marker and
    // the block's head as its bytes, then meets "X91E"'s neighbours as a count.
    Bytes swallowing = exact;
    std::size_t last_count = kX91Header;
    for (std::size_t at = kX91Header; le32(exact, at) != 0; at += 4 + le32(exact, at))
        last_count = at;
    set_le32(swallowing, last_count, le32(exact, last_count) + 8);
    return {
        {"exact", exact},
        {"plain", plain},
        {"packet cut short inside",
         with_packet(exact, 2, [](Bytes& p) { p.resize(p.size() - 2); })},
        {"packet with a byte more", with_packet(plain, 1, [](Bytes& p) { p.push_back(0); })},
        {"file cut inside a packet", Bytes(exact.begin(), exact.end() - 900)},
        {"negative count", negative},
        {"flipped bit", flipped},
        {"damaged block", Bytes(exact.begin(), exact.end() - 1)},
        {"bytes after the end marker", junk},
        {"a count reaching into the block", swallowing},
        {"tiny packets", tiny},
        {"header only", Bytes(exact.begin(), exact.begin() + kX91Header)},
        {"header cut short", Bytes(exact.begin(), exact.begin() + 40)},
    };
}

TEST(OnePassTest, EveryFeedGivesTheAudioAndOutcomesOfAFileReadAtWill) {
    SeededRng rng(20240607);
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const Decoded at_will = decode_stream(c.file, Feed::at_will);
        EXPECT_EQ(decode_stream(c.file, Feed::one_pass), at_will);
        for (std::size_t max_piece : {3, 20000}) {
            const unsigned seed = rng();
            SCOPED_TRACE(testing::Message() << "pieces up to " << max_piece << ", seed " << seed);
            EXPECT_EQ(decode_stream(c.file, Feed::pushed, {}, max_piece, seed), at_will);
        }
    }
}

TEST(OnePassTest, WhatTheCasesGive) {
    const std::vector<Case> all = cases();
    const struct {
        x91::Status extension;
        std::size_t outcomes;
    } expected[] = {
        {x91::Status::ok, 0},
        {x91::Status::no_extension, 0},
        {x91::Status::checksum_mismatch, 1},
        {x91::Status::no_extension, 1},  // unread bytes: told, the audio kept
        {x91::Status::no_extension, 1},
        {x91::Status::checksum_mismatch, 1},
        {x91::Status::checksum_mismatch, kAnyNumber},
        {x91::Status::extension_damaged, 0},
        {x91::Status::no_extension, 0},
        {x91::Status::checksum_mismatch, 2},
        {x91::Status::no_extension, 8},
        {x91::Status::no_extension, 1},
        {x91::Status::no_extension, 1},
    };
    ASSERT_EQ(all.size(), std::size(expected));
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i].name);
        const Decoded got = decode_stream(all[i].file, Feed::at_will);
        EXPECT_EQ(got.extension, expected[i].extension);
        if (expected[i].outcomes != kAnyNumber) {
            EXPECT_EQ(got.outcomes.size(), expected[i].outcomes);
        }
    }
}

// Past the front a one-pass decode holds back (about 47 s), the lead-in is
// cut before the end shows whether there is a block: right for every file
// the encoder writes whole, one block short for a plain one.
TEST(OnePassTest, ALongStreamTakesTheLeadInEveryEncoderWrites) {
    const int frames = (1 << 21) + 20000;
    const Pcm pcm = tone_signal(frames, 440.0, 0.3);
    const Bytes exact = write_stream(pcm);
    const Decoded at_will = decode_stream(exact, Feed::at_will);
    ASSERT_EQ(at_will.pcm.size(), 2u * frames);
    EXPECT_EQ(decode_stream(exact, Feed::one_pass), at_will);

    // The same packets without the block behind them.
    const Bytes plain(exact.begin(), exact.end() - le32(exact, exact.size() - 8));
    const Decoded raw = decode_stream(plain, Feed::at_will);
    const Decoded one_pass = decode_stream(plain, Feed::one_pass);
    ASSERT_EQ(one_pass.pcm.size() + 2 * kBlock, raw.pcm.size());
    EXPECT_TRUE(std::equal(one_pass.pcm.begin(), one_pass.pcm.end(), raw.pcm.begin() + 2 * kBlock));
}

}  // namespace
