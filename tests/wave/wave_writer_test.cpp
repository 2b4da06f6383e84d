#include "wave/wave_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "support/scratch_dir.h"
#include "support/wav_bytes.h"
#include "wave/wave_reader.h"

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

// A regular file lent as an open stream, at any offset, gets its true sizes
// there; a stream that cannot seek gets the streaming sizes.
TEST(WaveWriterTest, LentStreamsAreFixedUpOrStreamed) {
    ScratchDir dir;
    const Bytes audio = samples_bytes(3528, 3);
    for (const auto sizes :
         {da_WaveWriter::Sizes::fixed_at_finish, da_WaveWriter::Sizes::streamed}) {
        const bool fixed = sizes == da_WaveWriter::Sizes::fixed_at_finish;
        SCOPED_TRACE(fixed ? "fixed" : "streamed");
        const std::string path = dir.file("lent.wav");
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fputs("abc", f), 1);
        {
            da_WaveWriter writer(f, FORMAT_CDDA, sizes);
            writer.rawwrite(reinterpret_cast<const char*>(audio.data()), 3528);
            EXPECT_TRUE(writer.finish());
        }
        ASSERT_EQ(std::fclose(f), 0);
        Bytes expected = {'a', 'b', 'c'};
        Bytes wav = canonical_wav(audio);
        if (!fixed) {
            set_le32(wav, 4, 0xFFFFFFFF);
            set_le32(wav, 40, 0xFFFFFFFF);
        }
        append(expected, wav);
        EXPECT_EQ(read_file(path), expected);
    }
}

// Told to expect more than the RIFF sizes can count, the writer lays out
// RF64 from the start and puts the true sizes in its ds64 chunk.
TEST(WaveWriterTest, ExpectedBeyondTheRiffLimitWritesRf64) {
    ScratchDir dir;
    const std::string path = dir.file("big.wav");
    const Bytes audio = samples_bytes(7056, 5);
    {
        da_WaveWriter writer(path.c_str(), FORMAT_CDDA, kLargestRiffData + 1);
        writer.rawwrite(reinterpret_cast<const char*>(audio.data()), 7056);
        EXPECT_TRUE(writer.finish());
    }
    const Bytes file = read_file(path);
    ASSERT_EQ(file.size(), 80u + 7056u);
    const auto id = [&](std::size_t at) {
        return std::string(file.begin() + at, file.begin() + at + 4);
    };
    const auto le64 = [&](std::size_t at) {
        return std::uint64_t{le32(file, at)} | std::uint64_t{le32(file, at + 4)} << 32;
    };
    EXPECT_EQ(id(0), "RF64");
    EXPECT_EQ(le32(file, 4), 0xFFFFFFFFu);
    EXPECT_EQ(id(8), "WAVE");
    EXPECT_EQ(id(12), "ds64");
    EXPECT_EQ(le32(file, 16), 28u);
    EXPECT_EQ(le64(20), 80u + 7056u - 8u) << "RIFF size";
    EXPECT_EQ(le64(28), 7056u) << "data size";
    EXPECT_EQ(le64(36), 7056u / 4) << "sample frames";
    EXPECT_EQ(le32(file, 44), 0u) << "no size table";
    const Bytes fmt = chunk("fmt ", cd_fmt_body());
    EXPECT_TRUE(std::equal(fmt.begin(), fmt.end(), file.begin() + 48));
    EXPECT_EQ(id(72), "data");
    EXPECT_EQ(le32(file, 76), 0xFFFFFFFFu);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin() + 80));
}

// The RIFF size counts the LIST chunk too: audio that fits the plain sizes
// alone but not beside the texts needs RF64 as well.
TEST(WaveWriterTest, TextsTakeTheirRoomFromTheRiffLimit) {
    const std::vector<InfoText> texts = {{Id4("INAM"), std::string(1000, 't')}};
    const std::int64_t list_bytes = static_cast<std::int64_t>(info_list_image(texts).size());
    const struct {
        std::int64_t expected;
        const char* form;
    } cases[] = {
        {kLargestRiffData - list_bytes, "RIFF"},
        {kLargestRiffData - list_bytes + 1, "RF64"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const std::string path = dir.file("a.wav");
        {
            da_WaveWriter writer(path.c_str(), FORMAT_CDDA, c.expected, texts);
            EXPECT_TRUE(writer.finish());
        }
        const Bytes file = read_file(path);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), c.form);
    }
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
