#include "storage/wave_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "storage/wave_reader.h"
#include "support/scratch_dir.h"
#include "support/wav_bytes.h"

using namespace x91test;

namespace x91 {

namespace {

TEST(WaveWriterTest, EmptyFileIsTheCanonicalHeader) {
    ScratchDir dir;
    const std::string path = dir.file("empty.wav");
    {
        da_WaveWriter writer(path.c_str(), FORMAT_CDDA);
        EXPECT_TRUE(writer.finish());
        EXPECT_FALSE(writer.failed());
        EXPECT_EQ(writer.status().message, "");
    }
    EXPECT_EQ(read_file(path), canonical_wav({}));
    EXPECT_EQ(le32(read_file(path), 4), 36u);
}

TEST(WaveWriterTest, SizesAfterTwoBlocks) {
    ScratchDir dir;
    const std::string path = dir.file("two.wav");
    const Bytes a = samples_bytes(3528, 1);
    const Bytes b = samples_bytes(3528, 2);
    {
        da_WaveWriter writer(path.c_str(), FORMAT_CDDA);
        EXPECT_EQ(writer.rawwrite(reinterpret_cast<const char*>(a.data()), 3528), 3528);
        EXPECT_EQ(writer.rawwrite(reinterpret_cast<const char*>(b.data()), 3528), 3528);
        EXPECT_TRUE(writer.finish());
        EXPECT_TRUE(writer.finish()) << "a second finish repeats the result";
    }
    const Bytes file = read_file(path);
    ASSERT_EQ(file.size(), 44u + 7056u);
    EXPECT_EQ(le32(file, 40), 7056u);
    EXPECT_EQ(le32(file, 4), 7092u);
    Bytes audio = a;
    append(audio, b);
    EXPECT_EQ(file, canonical_wav(audio));

    da_WaveReader reader(path.c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_EQ(reader.samples(), 1764);
}

TEST(WaveWriterTest, DestructorFixesTheSizes) {
    ScratchDir dir;
    const std::string path = dir.file("dtor.wav");
    const Bytes a = samples_bytes(100);
    {
        da_WaveWriter writer(path.c_str(), FORMAT_CDDA);
        writer.rawwrite(reinterpret_cast<const char*>(a.data()), 100);
    }
    EXPECT_EQ(read_file(path), canonical_wav(a));
}

TEST(WaveWriterTest, WritesAfterFinishAreFailures) {
    ScratchDir dir;
    da_WaveWriter writer(dir.file("late.wav").c_str(), FORMAT_CDDA);
    ASSERT_TRUE(writer.finish());
    char c = 0;
    EXPECT_EQ(writer.rawwrite(&c, 1), 0);
    EXPECT_TRUE(writer.failed());
}

TEST(WaveWriterTest, UnwritablePathIsReported) {
    ScratchDir dir;
    const std::string path = dir.file("no-such-dir/out.wav");
    da_WaveWriter writer(path.c_str(), FORMAT_CDDA);
    EXPECT_TRUE(writer.failed());
    EXPECT_EQ(writer.status().status, Status::write_failed);
    EXPECT_EQ(writer.status().message, std::string("cannot create: ") + std::strerror(ENOENT));
    char buf[8] = {};
    EXPECT_EQ(writer.rawwrite(buf, 8), 0);
    EXPECT_FALSE(writer.finish());
}

TEST(WaveWriterTest, FullDiskIsReportedByFinish) {
    da_WaveWriter writer("/dev/full", FORMAT_CDDA);
    if (writer.status().message.rfind("cannot create", 0) == 0) GTEST_SKIP() << "no /dev/full here";
    const Bytes a = samples_bytes(3528);
    writer.rawwrite(reinterpret_cast<const char*>(a.data()), 3528);
    EXPECT_FALSE(writer.finish());
    EXPECT_TRUE(writer.failed());
    EXPECT_EQ(writer.status().message, std::string("write failed: ") + std::strerror(ENOSPC));
}

}  // namespace

}  // namespace x91
