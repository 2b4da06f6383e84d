#include "storage/file_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "storage/indexed_storage.h"
#include "support/scratch_dir.h"

using namespace x91test;

namespace x91 {

namespace {

TEST(FileReaderTest, TemplateReadWithThreeBytesLeftFailsAndStaysFailed) {
    ScratchDir dir;
    const std::string path = dir.file("three");
    write_file(path, {1, 2, 3});
    FileReader reader(path.c_str());
    ASSERT_FALSE(!reader);
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_FALSE(read(reader, value));
    EXPECT_EQ(value, 0xDEADBEEFu) << "a short read must not leave a half value";
    EXPECT_EQ(static_cast<void*>(reader), nullptr);
    EXPECT_TRUE(!reader);
    EXPECT_EQ(reader.possition(), -1);
    EXPECT_EQ(reader.seek(0), -1);
    EXPECT_EQ(reader.size(), -1);
    char c;
    EXPECT_EQ(reader.read(&c, 1), 0);
}

TEST(FileReaderTest, RawReadReturnsTheCountActuallyRead) {
    ScratchDir dir;
    const std::string path = dir.file("five");
    write_file(path, {1, 2, 3, 4, 5});
    FileReader reader(path.c_str());
    char buf[8] = {};
    EXPECT_EQ(reader.read(buf, 3), 3);
    EXPECT_EQ(reader.possition(), 3);
    EXPECT_EQ(reader.read(buf, 8), 2);
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(buf[1], 5);
    EXPECT_TRUE(!reader);
}

TEST(FileReaderTest, SizeInTheMiddleKeepsThePosition) {
    ScratchDir dir;
    const std::string path = dir.file("ten");
    write_file(path, std::vector<std::uint8_t>(10, 7));
    FileReader reader(path.c_str());
    char buf[4];
    ASSERT_EQ(reader.read(buf, 4), 4);
    EXPECT_EQ(reader.size(), 10);
    EXPECT_EQ(reader.possition(), 4);
    std::uint8_t next = 0;
    EXPECT_TRUE(read(reader, next));
    EXPECT_EQ(next, 7);
    EXPECT_EQ(reader.possition(), 5);
}

TEST(FileReaderTest, SeekReturnsEveryPositionWithinTheFile) {
    ScratchDir dir;
    const std::string path = dir.file("bytes");
    std::vector<std::uint8_t> bytes(32);
    for (int i = 0; i < 32; ++i) bytes[i] = static_cast<std::uint8_t>(100 + i);
    write_file(path, bytes);
    FileReader reader(path.c_str());
    for (int pos = 31; pos >= 0; --pos) {
        ASSERT_EQ(reader.seek(pos), pos);
        std::uint8_t b = 0;
        ASSERT_TRUE(read(reader, b));
        EXPECT_EQ(b, 100 + pos);
    }
    EXPECT_EQ(IndexedStorage(reader)[9].possition(), 9);
}

TEST(FileReaderTest, MissingFileFailsAtOnceWithItsReason) {
    ScratchDir dir;
    FileReader reader(dir.file("missing").c_str());
    EXPECT_TRUE(!reader);
    EXPECT_EQ(static_cast<void*>(reader), nullptr);
    EXPECT_EQ(reader.error(), ENOENT);
    EXPECT_EQ(reader.possition(), -1);
}

TEST(FileReaderTest, PositionsBeyondFourGibibytesWork) {
    ScratchDir dir;
    const std::string path = dir.file("sparse");
    write_file(path, {});
    const std::int64_t big = (std::int64_t{1} << 32) + 5;
    if (truncate(path.c_str(), static_cast<off_t>(big + 1)) != 0) {
        GTEST_SKIP() << "no sparse files here: " << std::strerror(errno);
    }
    FileReader reader(path.c_str());
    EXPECT_EQ(reader.size(), big + 1);
    EXPECT_EQ(reader.seek(big), big);
    std::uint8_t b = 1;
    EXPECT_TRUE(read(reader, b));
    EXPECT_EQ(b, 0);
    EXPECT_EQ(reader.possition(), big + 1);
}

// skip() seeks over a file and reads through a stream; either way it stops
// at the end as a read does, and at_end() looks ahead without taking a byte.
TEST(FileReaderTest, SkipAndAtEndOnFilesAndStreams) {
    ScratchDir dir;
    const std::string path = dir.file("ten");
    write_file(path, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    for (const bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "stream" : "file");
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char taken[2] = {};
        ASSERT_EQ(std::fread(taken, 1, 2, f), 2u);
        auto reader = stream ? std::make_unique<FileReader>(f, taken, 2)
                             : std::make_unique<FileReader>(path.c_str());
        EXPECT_EQ(reader->skip(3), 3);
        EXPECT_FALSE(reader->at_end());
        std::uint8_t b = 0;
        EXPECT_TRUE(read(*reader, b));
        EXPECT_EQ(b, 3);
        EXPECT_EQ(reader->skip(INT64_MAX), 6);
        EXPECT_TRUE(!*reader);
        EXPECT_TRUE(reader->at_end());
        reader.reset();
        std::fclose(f);
    }
}

// peek() shows what comes next without taking it, on a file and on a stream
// alike, and running into the end is not a failure.
TEST(FileReaderTest, PeekLeavesTheBytesToBeRead) {
    ScratchDir dir;
    const std::string path = dir.file("five");
    write_file(path, {0, 1, 2, 3, 4});
    for (const bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "stream" : "file");
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char taken[1] = {};
        ASSERT_EQ(std::fread(taken, 1, 1, f), 1u);
        auto reader = stream ? std::make_unique<FileReader>(f, taken, 1)
                             : std::make_unique<FileReader>(path.c_str());
        EXPECT_EQ(reader->skip(1), 1);
        char ahead[8] = {};
        ASSERT_EQ(reader->peek(ahead, 2), 2);
        EXPECT_EQ(ahead[0], 1);
        EXPECT_EQ(ahead[1], 2);
        ASSERT_EQ(reader->peek(ahead, 8), 4) << "only what is left";
        EXPECT_TRUE(*reader);
        EXPECT_EQ(reader->possition(), 1);
        char got[4] = {};
        ASSERT_EQ(reader->read(got, 4), 4);
        EXPECT_EQ(got[0], 1);
        EXPECT_EQ(got[3], 4);
        EXPECT_TRUE(reader->at_end());
        reader.reset();
        std::fclose(f);
    }
}

TEST(FileReaderTest, DirectoryIsRefusedWithItsReason) {
    ScratchDir dir;
    FileReader reader(dir.path().c_str());
    EXPECT_TRUE(!reader);
    EXPECT_EQ(reader.error(), EISDIR);
}

TEST(FileWriterTest, ValuesAreWrittenLeastSignificantByteFirst) {
    ScratchDir dir;
    const std::string path = dir.file("values");
    {
        FileWriter writer(path.c_str());
        EXPECT_TRUE(write(writer, static_cast<unsigned short>(0x0102)));
        EXPECT_TRUE(write(writer, std::uint32_t{0x0A0B0C0D}));
        EXPECT_TRUE(write(writer, 1.1f));
        EXPECT_TRUE(write(writer, -2));
        EXPECT_EQ(writer.possition(), 14);
        EXPECT_TRUE(writer.close());
    }
    EXPECT_EQ(read_file(path),
              (std::vector<std::uint8_t>{0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A, 0xCD, 0xCC, 0x8C, 0x3F,
                                         0xFE, 0xFF, 0xFF, 0xFF}));
    FileReader reader(path.c_str());
    std::uint16_t a = 0;
    std::uint32_t b = 0;
    float c = 0;
    int d = 0;
    EXPECT_TRUE(read(reader, a) && read(reader, b) && read(reader, c) && read(reader, d));
    EXPECT_EQ(a, 0x0102);
    EXPECT_EQ(b, 0x0A0B0C0Du);
    EXPECT_EQ(c, 1.1f);
    EXPECT_EQ(d, -2);
}

TEST(FileWriterTest, OpeningAnExistingFileStartsItEmpty) {
    ScratchDir dir;
    const std::string path = dir.file("old");
    write_file(path, {9, 9, 9, 9, 9, 9});
    {
        FileWriter writer(path.c_str());
        EXPECT_EQ(writer.size(), 0);
        EXPECT_TRUE(write(writer, std::uint8_t{1}));
    }
    EXPECT_EQ(read_file(path), std::vector<std::uint8_t>{1});
}

TEST(FileWriterTest, SeekBackOverwritesAndSizeKeepsThePosition) {
    ScratchDir dir;
    const std::string path = dir.file("patch");
    FileWriter writer(path.c_str());
    ASSERT_TRUE(write(writer, std::uint32_t{0}));
    ASSERT_TRUE(write(writer, std::uint32_t{0x44434241}));
    EXPECT_EQ(writer.seek(1), 1);
    ASSERT_TRUE(write(writer, std::uint8_t{0x7F}));
    EXPECT_EQ(writer.size(), 8);
    EXPECT_EQ(writer.possition(), 2);
    EXPECT_TRUE(writer.close());
    EXPECT_TRUE(writer.close()) << "a second close repeats the result";
    EXPECT_EQ(read_file(path), (std::vector<std::uint8_t>{0, 0x7F, 0, 0, 0x41, 0x42, 0x43, 0x44}));
}

TEST(FileWriterTest, UnwritablePathIsReportedAndWritesAreRefused) {
    ScratchDir dir;
    FileWriter writer(dir.file("no-such-dir/out").c_str());
    EXPECT_TRUE(!writer);
    EXPECT_EQ(writer.error(), ENOENT);
    char buf[4] = {};
    EXPECT_EQ(writer.write(buf, 4), 0);
    EXPECT_EQ(writer.possition(), -1);
    EXPECT_FALSE(writer.close());
}

// A full disk: writes into the stdio buffer succeed, and the failure shows
// only when the buffer is handed over. close() must not call that success.
TEST(FileWriterTest, FullDiskIsReportedByClose) {
    FileWriter writer("/dev/full");
    if (!writer) GTEST_SKIP() << "no /dev/full here";
    char buf[16] = {};
    EXPECT_EQ(writer.write(buf, 16), 16);
    EXPECT_FALSE(writer.close());
    EXPECT_TRUE(!writer);
    EXPECT_EQ(writer.error(), ENOSPC);
}

TEST(FileWriterTest, FullDiskIsReportedByALargeWrite) {
    FileWriter writer("/dev/full");
    if (!writer) GTEST_SKIP() << "no /dev/full here";
    std::vector<char> buf(1 << 20);
    EXPECT_LT(writer.write(buf.data(), static_cast<int>(buf.size())), static_cast<int>(buf.size()));
    EXPECT_TRUE(!writer);
    EXPECT_EQ(writer.write(buf.data(), 1), 0);
    EXPECT_FALSE(writer.close());
}

TEST(FileWriterTest, BorrowedStreamIsFlushedButNotClosed) {
    ScratchDir dir;
    const std::string path = dir.file("borrowed");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    {
        FileWriter writer(f);
        EXPECT_TRUE(write(writer, std::uint8_t{5}));
        EXPECT_TRUE(writer.close());
    }
    EXPECT_EQ(read_file(path), std::vector<std::uint8_t>{5}) << "close() must flush";
    EXPECT_EQ(std::fputc(6, f), 6) << "the stream must still be open";
    EXPECT_EQ(std::fclose(f), 0);
    EXPECT_EQ(read_file(path), (std::vector<std::uint8_t>{5, 6}));
}

TEST(FileReaderTest, BorrowedStreamStartsAtItsPosition) {
    ScratchDir dir;
    const std::string path = dir.file("borrowed");
    write_file(path, {1, 2, 3, 4});
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fgetc(f), 1);
    {
        FileReader reader(f);
        EXPECT_EQ(reader.possition(), 1);
        std::uint8_t b = 0;
        EXPECT_TRUE(read(reader, b));
        EXPECT_EQ(b, 2);
    }
    EXPECT_EQ(std::fgetc(f), 3) << "the stream must still be open";
    std::fclose(f);
}

}  // namespace

}  // namespace x91
