// Seeking: from any frame on, the decoder gives exactly the matching slice
// of a decode from the start, and a restarted packet decoder does from the
// third block of its first packet on.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "api/api_test_support.h"
#include "support/test_signals.h"

using namespace x91test;

namespace {

constexpr uint64_t kBlock = X91_BLOCK_FRAMES;
constexpr uint64_t kPacketBlocks = 16;

class SeekTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Five packets and a part of a sixth: loud, changing music, so that a
        // missing overlap or a curve taken from the wrong frame shows.
        file_ = new Bytes(c_encode(music_like_signal(70000, 11)));
        MemoryDecoder d(*file_);
        full_ = new Pcm(c_read_all(d.decoder));
    }
    static void TearDownTestSuite() {
        delete file_;
        delete full_;
    }
    static uint64_t length() { return full_->size() / 2; }
    static Pcm slice_from(uint64_t frame) {
        return Pcm(full_->begin() + static_cast<long>(2 * frame), full_->end());
    }
    static Bytes* file_;
    static Pcm* full_;
};

Bytes* SeekTest::file_ = nullptr;
Pcm* SeekTest::full_ = nullptr;

TEST_F(SeekTest, EveryPositionGivesTheSliceOfAFullDecode) {
    ASSERT_EQ(length(), (6 * kPacketBlocks - 1) * kBlock);
    const uint64_t packet1 = (kPacketBlocks - 1) * kBlock;  // where packet 1's audio starts
    const uint64_t packet2 = packet1 + kPacketBlocks * kBlock;
    struct Case {
        const char* name;
        uint64_t frame;
    } const cases[] = {
        {"start", 0},
        {"inside the first block", 1},
        {"second block", kBlock},
        {"inside the first packet", 5 * kBlock + 17},
        {"last frame of packet 0", packet1 - 1},
        {"packet 1", packet1},
        {"the first block packet 1 rebuilds alone", packet1 + kBlock},
        {"the first block decoding from packet 1 gets right", packet1 + 2 * kBlock},
        {"one frame before it", packet1 + 2 * kBlock - 1},
        {"packet 2", packet2},
        {"packet 2, second block", packet2 + kBlock + 1},
        {"the middle", length() / 2},
        {"the last block", length() - kBlock},
        {"the last frame", length() - 1},
        {"the end", length()},
        {"past the end", length() + 12345},
    };
    MemoryDecoder d(*file_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(x91_decoder_seek(d.decoder, c.frame), X91_OK);
        const uint64_t at = std::min(c.frame, length());
        EXPECT_EQ(x91_decoder_position(d.decoder), at);
        // Odd read sizes, so that reads straddle the packets' joins.
        EXPECT_EQ(c_read_all(d.decoder, 1001), slice_from(at));
    }
}

TEST_F(SeekTest, SeekInTheMiddleOfReadingAndBack) {
    MemoryDecoder d(*file_);
    std::vector<int16_t> some(2 * 3000);
    size_t got = 0;
    ASSERT_EQ(x91_decoder_read(d.decoder, some.data(), 3000, &got), X91_OK);
    ASSERT_EQ(x91_decoder_seek(d.decoder, 40000), X91_OK);
    ASSERT_EQ(x91_decoder_read(d.decoder, some.data(), 3000, &got), X91_OK);
    ASSERT_EQ(x91_decoder_seek(d.decoder, 2000), X91_OK);
    EXPECT_EQ(c_read_all(d.decoder), slice_from(2000));
}

// Trimmed to an input's exact length, the timeline drops the lead-in block
// and the padding, and seeks count on it.
TEST_F(SeekTest, TrimmedDecodeIsTheSliceWithoutLeadInAndPadding) {
    const uint64_t exact = length() - kBlock - 1000;
    MemoryDecoder d(*file_);
    ASSERT_EQ(x91_decoder_trim(d.decoder, kBlock, exact), X91_OK);
    EXPECT_EQ(x91_decoder_length(d.decoder), exact);
    const Pcm input(full_->begin() + 2 * kBlock, full_->begin() + 2 * (kBlock + exact));
    EXPECT_EQ(c_read_all(d.decoder, 777), input);
    EXPECT_EQ(x91_decoder_trim(d.decoder, 0, 1), X91_ERR_INVALID_STATE);
    for (const uint64_t frame :
         {uint64_t{0}, 14 * kBlock, 14 * kBlock + 1, 16 * kBlock, exact - 1, exact, exact + 1}) {
        SCOPED_TRACE(frame);
        ASSERT_EQ(x91_decoder_seek(d.decoder, frame), X91_OK);
        const uint64_t at = std::min(frame, exact);
        EXPECT_EQ(c_read_all(d.decoder), Pcm(input.begin() + 2 * at, input.end()));
    }
}

// What a player's decoder does after a seek: restart at a packet and decode
// the packets from there.
TEST_F(SeekTest, RestartedPacketDecoderIsExactFromItsThirdBlock) {
    const Bytes& file = *file_;
    for (const uint64_t start : {0, 1, 3}) {
        SCOPED_TRACE(start);
        x91_decoder* decoder = nullptr;
        ASSERT_EQ(x91_decoder_create_for_header(&decoder, file.data(), file.size()), X91_OK);
        ASSERT_EQ(x91_decoder_restart(decoder, start), X91_OK);
        // Walk the counts to the packet to start with.
        std::size_t at = X91_HEADER_BYTES;
        uint64_t packet = 0;
        Pcm pcm;
        for (;;) {
            uint32_t count = 0;
            for (int k = 0; k < 4; ++k) count |= uint32_t{file[at + k]} << (8 * k);
            if (count == 0) break;
            if (packet >= start) {
                EXPECT_EQ(x91_decoder_decode_packet(decoder, file.data() + at + 4, count), X91_OK);
            }
            at += 4 + count;
            ++packet;
        }
        const uint64_t from = start == 0 ? 0 : (kPacketBlocks * start - 1) * kBlock;
        const Pcm got = c_read_all(decoder);
        ASSERT_EQ(got.size() / 2, length() - from);
        const uint64_t silent = start == 0 ? 0 : 2 * kBlock;
        EXPECT_EQ(x91_decoder_restart_exact_from(decoder, start), from + silent);
        EXPECT_EQ(Pcm(got.begin(), got.begin() + static_cast<long>(2 * silent)),
                  Pcm(2 * silent, 0));
        EXPECT_EQ(Pcm(got.begin() + static_cast<long>(2 * silent), got.end()),
                  slice_from(from + silent));
        x91_decoder_destroy(decoder);
    }
}

}  // namespace
