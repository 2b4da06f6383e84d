#include "framework/bit_stream.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/coding_test_util.h"

namespace x91 {

namespace {

using namespace coding_test;

TEST(BitWriterTest, ValuesGoMostSignificantBitFirstIntoLowBitsUpwards) {
    auto p = scratch_packet(16, 0x00);
    da_BinWriter w(*p);
    w.write(6, 3);
    EXPECT_EQ(p->data()[0] & 0x07, 0x03);
    w.set_possition(0);
    w.write(5, 3);
    w.write(1, 1);
    EXPECT_EQ(p->data()[0], 0x0D);
    EXPECT_EQ(p->bytes(), 1);
}

TEST(BitWriterTest, ZeroWidthWriteChangesNothing) {
    auto p = scratch_packet(16);
    da_BinWriter w(*p);
    w.write(0, 0);
    w.write(7, -3);
    EXPECT_EQ(p->possition(), 0);
    EXPECT_EQ(p->bytes(), 0);
    EXPECT_EQ(p->data()[0], 0xA5);
}

TEST(BitWriterTest, NineSingleBitsNeedTwoBytes) {
    auto p = scratch_packet(16);
    da_BinWriter w(*p);
    for (int i = 0; i < 9; ++i) w.write(1, 1);
    EXPECT_EQ(p->bytes(), 2);
}

TEST(BitWriterTest, ZerosOverSetBitsClearExactlyTheBitsWritten) {
    auto p = scratch_packet(16, 0xFF);
    da_BinWriter w(*p);
    w.set_possition(2);
    w.write(0, 3);
    EXPECT_EQ(p->data()[0], 0xE3);
    EXPECT_EQ(p->data()[1], 0xFF);
}

TEST(BitWriterTest, OnlyTheLowBitsOfTheValueAreWritten) {
    auto p = scratch_packet(16, 0x00);
    da_BinWriter w(*p);
    w.write(0x1F, 2);
    EXPECT_EQ(p->data()[0], 0x03);
    EXPECT_EQ(p->possition(), 2);
}

TEST(BitReaderTest, ReadsBackWhatTheWriterWrote) {
    auto p = scratch_packet(16);
    da_BinWriter w(*p);
    w.write(5, 3);
    w.write(1, 1);
    p->set_possition(0);
    da_BinReader r(*p);
    EXPECT_EQ(r.read(3), 5);
    EXPECT_EQ(r.read(1), 1);
    EXPECT_EQ(r.read(0), 0);
    EXPECT_EQ(r.possition(), 4);
    EXPECT_FALSE(r.overran());
}

// Every bit must match a plain bit-at-a-time model, in the middle of the
// buffer and near its end where the word path cannot be used.
TEST(BitStreamTest, RandomWritesMatchTheBitByBitModel) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 50; ++round) {
        const int cap = uniform(rng, 1, 40);
        auto p = scratch_packet(cap, static_cast<unsigned char>(rng()));
        std::vector<unsigned char> model(p->data(), p->data() + cap);
        std::vector<std::pair<int, int>> writes;
        da_BinWriter w(*p);
        int pos = 0;
        while (true) {
            const int nbits = uniform(rng, 0, 31);
            if (pos + nbits > cap * 8) break;
            const int value = uniform(rng, 0, 0x7FFFFFFF);
            w.write(value, nbits);
            for (int k = nbits - 1; k >= 0; --k) set_bit(model.data(), pos++, (value >> k) & 1);
            writes.emplace_back(value, nbits);
        }
        ASSERT_EQ(p->possition(), pos);
        ASSERT_EQ(p->capacity(), cap) << "a packet that fits must not move";
        ASSERT_EQ(std::vector<unsigned char>(p->data(), p->data() + cap), model);
        p->set_possition(0);
        da_BinReader r(*p);
        for (auto [value, nbits] : writes)
            ASSERT_EQ(r.read(nbits), static_cast<int>(value & ((1LL << nbits) - 1)));
        EXPECT_FALSE(r.overran());
    }
}

TEST(BitWriterTest, OutgrowingTheBufferKeepsEveryBit) {
    auto p = scratch_packet(3);
    da_BinWriter w(*p);
    for (int i = 0; i < 1000; ++i) w.write(i & 0x3FF, 10);
    EXPECT_GE(p->capacity(), 1250);
    EXPECT_TRUE(p->owns());
    p->set_possition(0);
    da_BinReader r(*p);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(r.read(10), i & 0x3FF);
}

TEST(BitWriterTest, OutgrowingABorrowedBufferLeavesItAlone) {
    unsigned char borrowed[2] = {0x11, 0x22};
    da_BinRWBase p(borrowed, 2, false);
    da_BinWriter w(p);
    w.write(0x7FFFFFFF, 31);
    EXPECT_NE(p.data(), borrowed);
    EXPECT_TRUE(p.owns());
    EXPECT_EQ(borrowed[0], 0x11);
    EXPECT_EQ(borrowed[1], 0x22);
    EXPECT_EQ(p.bytes(), 4);
}

TEST(BitReaderTest, BitsPastTheEndReadAsZeroAndMarkTheOverrun) {
    auto* buf = new unsigned char[2]{0xFF, 0xFF};
    da_BinRWBase p(buf, 2, true);
    da_BinReader r(p);
    EXPECT_EQ(r.read(12), 0xFFF);
    EXPECT_FALSE(r.overran());
    EXPECT_EQ(r.read(8), 0xF0);
    EXPECT_TRUE(r.overran());
    EXPECT_EQ(r.read(31), 0);
    EXPECT_EQ(r.possition(), 51);
}

TEST(BitReaderTest, EmptyPacketReadsZeros) {
    da_BinRWBase p(nullptr, 0, false);
    da_BinReader r(p);
    EXPECT_EQ(r.read(5), 0);
    EXPECT_TRUE(r.overran());
}

TEST(BitRWBaseTest, FinishClearsOnlyTheBitsAboveThePosition) {
    auto p = scratch_packet(4, 0xFF);
    p->set_possition(11);
    p->finish();
    EXPECT_EQ(p->data()[0], 0xFF);
    EXPECT_EQ(p->data()[1], 0x07);
    EXPECT_EQ(p->data()[2], 0xFF);
    p->set_possition(16);
    p->finish();
    EXPECT_EQ(p->data()[2], 0xFF);
}

TEST(BitFunctionsTest, GetAndSetBitUseTheByteMasks) {
    for (int i = 0; i < 8; ++i) EXPECT_EQ(BITS[i], 1u << i);
    unsigned char buf[2] = {0, 0};
    set_bit(buf, 9, true);
    EXPECT_EQ(buf[1], 0x02);
    EXPECT_EQ(get_bit(buf, 9), 1);
    EXPECT_EQ(get_bit(buf, 8), 0);
    set_bit(buf, 9, false);
    EXPECT_EQ(buf[1], 0x00);
}

}  // namespace

}  // namespace x91
