#include "wave/riff.h"

#include <gtest/gtest.h>

#include "storage/memory_stream.h"
#include "wave/chunk_seeks.h"

namespace x91 {

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RiffTest, IdsDifferingOnlyInTheFourthCharacterDiffer) {
    EXPECT_FALSE(Id4("fmt ") == Id4("fmt1"));
    EXPECT_TRUE(Id4("fmt ") == ID4_FMT);
    EXPECT_FALSE(Id4("data") == Id4("Data"));
}

TEST(RiffTest, CdFormatRecordBytes) {
    MemoryStream m;
    EXPECT_TRUE(m <= FORMAT_CDDA);
    EXPECT_EQ(m.bytes(), (Bytes{0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1, 0x02,
                                0x00, 0x04, 0x00, 0x10, 0x00}));
    m.seek(0);
    da_PcmWaveFormat back;
    EXPECT_TRUE(m >= back);
    EXPECT_EQ(back, FORMAT_CDDA);
    EXPECT_FALSE(m >= back) << "nothing left to read";
}

TEST(RiffTest, FormatConstructorNarrowsToFieldWidths) {
    const da_PcmWaveFormat f(0x10001, 2, 44100, 176400, 4, 16);
    EXPECT_EQ(f.format_tag, 1);
    EXPECT_EQ(f, FORMAT_CDDA);
    EXPECT_FALSE(da_PcmWaveFormat(1, 1, 44100, 88200, 2, 16) == FORMAT_CDDA);
}

TEST(RiffTest, BlockHeaderRoundTripAndShortRead) {
    MemoryStream m;
    EXPECT_TRUE(m <= BlockHeader(ID4_DATA, 0x01020304));
    EXPECT_EQ(m.bytes(), (Bytes{'d', 'a', 't', 'a', 4, 3, 2, 1}));
    m.seek(0);
    const ReadBlockInfo info = read_block_header(m);
    EXPECT_TRUE(info.id == ID4_DATA);
    EXPECT_EQ(info.size, 0x01020304u);
    EXPECT_EQ(info.start, 8);

    MemoryStream cut(Bytes{'d', 'a', 't', 'a', 4, 3});
    BlockHeader h;
    EXPECT_FALSE(cut >= h);
    EXPECT_TRUE(cut.failed());
}

TEST(RiffTest, FixUpWritesTheChunkSizeAndReturnsToTheEnd) {
    MemoryStream m;
    m.write("xx", 2);
    const WriteBlockInfo info = prepare_block_header(m, ID4_DATA);
    EXPECT_EQ(info.header_position, 2);
    EXPECT_EQ(info.start, 10);
    m.write("abcde", 5);
    EXPECT_TRUE(finish_block__fix_header(m, info));
    EXPECT_EQ(m.possition(), 15);
    EXPECT_EQ(m.bytes(),
              (Bytes{'x', 'x', 'd', 'a', 't', 'a', 5, 0, 0, 0, 'a', 'b', 'c', 'd', 'e'}));
}

// Chunks between 2 and 4 GiB have representable sizes; beyond that the
// field cannot hold the size and the fix-up must say so.
TEST(RiffTest, FixUpOfHugeChunks) {
    MemoryStream m;
    const WriteBlockInfo info = prepare_block_header(m, ID4_DATA);
    m.seek(info.start + 0xFFFFFFFF);
    EXPECT_TRUE(finish_block__fix_header(m, info));
    EXPECT_EQ(m.possition(), info.start + 0xFFFFFFFF);
    EXPECT_EQ(Bytes(m.bytes().begin() + 4, m.bytes().begin() + 8), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));

    m.seek(info.start + 0xC0000000);
    EXPECT_TRUE(finish_block__fix_header(m, info));
    EXPECT_EQ(Bytes(m.bytes().begin() + 4, m.bytes().begin() + 8), (Bytes{0, 0, 0, 0xC0}));

    m.seek(info.start + 0x100000000);
    EXPECT_FALSE(finish_block__fix_header(m, info));
    EXPECT_EQ(Bytes(m.bytes().begin() + 4, m.bytes().begin() + 8), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(RiffTest, FixUpOnAFailedStorageFails) {
    MemoryStream m;
    const WriteBlockInfo info = prepare_block_header(m, ID4_DATA);
    char past_the_end;
    EXPECT_EQ(m.read(&past_the_end, 1), 0) << "a read past the end fails the storage";
    EXPECT_FALSE(finish_block__fix_header(m, info));
}

TEST(RiffTest, BlockSeeksStopAtTheChunkEndBeforeThePadByte) {
    MemoryStream m(Bytes(64));
    ReadBlockInfo odd;
    odd.start = 20;
    odd.size = 7;
    EXPECT_EQ(seek_in_block(m, odd, 3), 23);
    EXPECT_EQ(seek_end_of_block(m, odd), 27);
    EXPECT_EQ(m.possition(), 27);
}

TEST(RiffTest, NextChunkBehindThePadByte) {
    ReadBlockInfo odd;
    odd.start = 20;
    odd.size = 7;
    EXPECT_EQ(next_block_position(odd), 28);
    odd.size = 8;
    EXPECT_EQ(next_block_position(odd), 28);
}

}  // namespace

}  // namespace x91
