#include "wave/wave_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "support/scratch_dir.h"
#include "support/wav_bytes.h"

using namespace x91test;

namespace x91 {

namespace {

constexpr const char* kNotCd = "not 16-bit stereo 44100 Hz PCM: ";

// Everything a refused file must show: a reason, no CD format, no audio.
void expect_refused(da_WaveReader& reader, const std::string& problem) {
    EXPECT_EQ(reader.problem(), problem);
    EXPECT_FALSE(reader.format() == FORMAT_CDDA);
    EXPECT_EQ(reader.format(), da_PcmWaveFormat());
    EXPECT_EQ(reader.samples(), 0);
    std::vector<char> buf(64, 'x');
    EXPECT_EQ(reader.rawread(buf.data(), 64), 0);
    EXPECT_EQ(buf, std::vector<char>(64, 0));
}

// Reads n bytes of audio and checks they equal expected, followed by zeros.
void expect_audio(da_WaveReader& reader, const Bytes& expected, int n) {
    std::vector<char> buf(static_cast<std::size_t>(n), 'x');
    const int want = std::min<int>(n, static_cast<int>(expected.size()));
    EXPECT_EQ(reader.rawread(buf.data(), n), want);
    for (int i = 0; i < n; ++i) {
        const std::uint8_t e = i < want ? expected[static_cast<std::size_t>(i)] : 0;
        ASSERT_EQ(static_cast<std::uint8_t>(buf[static_cast<std::size_t>(i)]), e) << "byte " << i;
    }
}

class WaveReaderTest : public testing::Test {
  protected:
    std::string store(const Bytes& bytes) {
        const std::string path = dir_.file("in" + std::to_string(count_++) + ".wav");
        write_file(path, bytes);
        return path;
    }

    // A file and a stream of the same bytes must be refused alike. The
    // stream is read forward only, its first bytes taken beforehand as the
    // command does to see what standard input holds.
    void expect_refused_as_file_and_stream(const Bytes& bytes, const std::string& problem) {
        const std::string path = store(bytes);
        {
            SCOPED_TRACE("file");
            da_WaveReader reader(path.c_str());
            expect_refused(reader, problem);
        }
        std::FILE* stream = std::fopen(path.c_str(), "rb");
        ASSERT_NE(stream, nullptr);
        char taken[4] = {};
        const int n = static_cast<int>(std::fread(taken, 1, sizeof taken, stream));
        {
            SCOPED_TRACE("stream");
            da_WaveReader reader(stream, taken, n);
            expect_refused(reader, problem);
        }
        std::fclose(stream);
    }

    ScratchDir dir_;
    int count_ = 0;
};

TEST_F(WaveReaderTest, CanonicalFilesOfWholeBlocks) {
    for (int k : {0, 1, 3}) {
        const Bytes audio = samples_bytes(3528 * static_cast<std::size_t>(k));
        da_WaveReader reader(store(canonical_wav(audio)).c_str());
        EXPECT_EQ(reader.problem(), "");
        EXPECT_EQ(reader.format(), FORMAT_CDDA);
        EXPECT_EQ(reader.samples(), 882 * k);
        EXPECT_FALSE(reader.cut_short());
        for (int block = 0; block < k; ++block) {
            expect_audio(reader,
                         Bytes(audio.begin() + 3528 * block, audio.begin() + 3528 * (block + 1)),
                         3528);
        }
        expect_audio(reader, {}, 3528);
    }
}

TEST_F(WaveReaderTest, FmtChunkWithExtraBytesIsSkipped) {
    Bytes fmt = cd_fmt_body();
    put16(fmt, 0);  // cbSize of an 18-byte record
    const Bytes audio = samples_bytes(400);
    da_WaveReader reader(store(riff({chunk("fmt ", fmt), chunk("data", audio)})).c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_EQ(reader.samples(), 100);
    expect_audio(reader, audio, 400);
}

// Tools such as ffmpeg put a LIST chunk between "fmt " and "data"; others
// append chunks after the audio. Neither may become audio.
TEST_F(WaveReaderTest, ChunksAroundDataAreSkippedAndNeverBecomeAudio) {
    const Bytes audio = samples_bytes(3528);
    const Bytes list = samples_bytes(26, 77);
    const Bytes trailing = Bytes(100, 0xAB);
    da_WaveReader reader(store(riff({chunk("fmt ", cd_fmt_body()), chunk("LIST", list),
                                     chunk("data", audio), chunk("LIST", trailing)}))
                             .c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_EQ(reader.format(), FORMAT_CDDA);
    EXPECT_EQ(reader.samples(), 882);
    EXPECT_FALSE(reader.cut_short());
    expect_audio(reader, Bytes(audio.begin(), audio.begin() + 1000), 1000);
    expect_audio(reader, Bytes(audio.begin() + 1000, audio.end()), 3528);
    expect_audio(reader, {}, 200);
}

TEST_F(WaveReaderTest, OddSizedChunksAreFollowedByTheirPadByte) {
    const Bytes audio = samples_bytes(40);
    // If the pad byte were ignored, the search would land one byte early and
    // read "\0fmt" / "\0dat" as ids.
    da_WaveReader reader(store(riff({chunk("junk", Bytes(5, 1)), chunk("fmt ", cd_fmt_body()),
                                     chunk("fact", Bytes(3, 2)), chunk("data", audio)}))
                             .c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_EQ(reader.samples(), 10);
    expect_audio(reader, audio, 40);
}

// Some writers leave out the pad byte behind an odd-sized chunk. The next
// chunk's id, starting one byte early, shows it; files and streams alike.
TEST_F(WaveReaderTest, MissingPadByteIsToleratedWhereTheNextIdShowsIt) {
    const Bytes audio = samples_bytes(40);
    const Bytes bytes = riff({chunk("LIST", Bytes(5, 'x'), false), chunk("fmt ", cd_fmt_body()),
                              chunk("fact", Bytes(3, 2), false), chunk("data", audio)});
    const std::string path = store(bytes);
    {
        da_WaveReader reader(path.c_str());
        EXPECT_EQ(reader.problem(), "");
        expect_audio(reader, audio, 40);
    }
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    char taken[4] = {};
    ASSERT_EQ(std::fread(taken, 1, sizeof taken, stream), 4u);
    {
        da_WaveReader reader(stream, taken, 4);
        EXPECT_EQ(reader.problem(), "");
        expect_audio(reader, audio, 40);
    }
    std::fclose(stream);
}

// A name may stand for a pipe: it is read forward, as a stream.
TEST_F(WaveReaderTest, FifoByNameIsReadAsAStream) {
    const std::string path = dir_.file("fifo.wav");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const Bytes audio = samples_bytes(400);
    Bytes bytes = riff({chunk("fmt ", cd_fmt_body()), chunk("data", audio)}, 0xFFFFFFFF);
    set_le32(bytes, 40, 0xFFFFFFFF);
    std::thread writer([&] { write_file(path, bytes); });
    {
        da_WaveReader reader(path.c_str());
        EXPECT_EQ(reader.problem(), "");
        EXPECT_EQ(reader.samples(), -1) << "the length shows only at the end of the stream";
        expect_audio(reader, audio, 512);
    }
    writer.join();
}

TEST_F(WaveReaderTest, OddDataChunkKeepsOnlyWholeFrames) {
    const Bytes audio = samples_bytes(4 * 5 + 3);
    da_WaveReader reader(store(riff({chunk("fmt ", cd_fmt_body()), chunk("data", audio),
                                     chunk("LIST", Bytes(8, 0xEE))}))
                             .c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_EQ(reader.samples(), 5);
    expect_audio(reader, Bytes(audio.begin(), audio.begin() + 20), 32);
}

TEST_F(WaveReaderTest, ExtensiblePcmIsCdAudio) {
    const Bytes audio = samples_bytes(3528);
    da_WaveReader reader(
        store(riff({chunk("fmt ", extensible_fmt_body(2, 44100, 16, 1)), chunk("data", audio)}))
            .c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_EQ(reader.format(), FORMAT_CDDA);
    EXPECT_EQ(reader.samples(), 882);
    expect_audio(reader, audio, 3528);
}

TEST_F(WaveReaderTest, ExtensibleOtherThanCdPcmIsRefused) {
    const Bytes audio = samples_bytes(64);
    struct Case {
        Bytes fmt;
        std::string problem;
    };
    Bytes no_guid = extensible_fmt_body(2, 44100, 16, 1);
    no_guid.resize(18);
    Bytes other_guid = extensible_fmt_body(2, 44100, 16, 1);
    other_guid[39] = 0x72;
    const Case cases[] = {
        {extensible_fmt_body(2, 44100, 32, 3),
         std::string(kNotCd) + "format tag 3 (float), 32 bits"},
        {extensible_fmt_body(2, 44100, 16, 1, 20),
         std::string(kNotCd) + "format tag 65534 (no subformat)"},
        {no_guid, std::string(kNotCd) + "format tag 65534 (no subformat)"},
        {other_guid, std::string(kNotCd) + "format tag 65534 (unknown subformat)"},
        {extensible_fmt_body(6, 44100, 16, 1), std::string(kNotCd) + "6 channels"},
    };
    for (const Case& c : cases) {
        expect_refused_as_file_and_stream(riff({chunk("fmt ", c.fmt), chunk("data", audio)}),
                                          c.problem);
    }
}

TEST_F(WaveReaderTest, OtherFormatsAreRefusedWithWhatTheyAre) {
    struct Case {
        Bytes fmt;
        std::string what;
    };
    Bytes bad_align = cd_fmt_body();
    bad_align[12] = 3;
    Bytes bad_rate = cd_fmt_body();
    bad_rate[8] = 0;
    const Case cases[] = {
        {fmt_body(1, 1, 44100, 16), "1 channel"},
        {fmt_body(1, 2, 48000, 16), "48000 Hz"},
        {fmt_body(1, 2, 44100, 24), "24 bits"},
        {fmt_body(3, 2, 44100, 32), "format tag 3 (float), 32 bits"},
        {fmt_body(3, 2, 44100, 16), "format tag 3 (float)"},
        {fmt_body(85, 2, 44100, 16), "format tag 85"},
        {fmt_body(1, 1, 22050, 8), "1 channel, 22050 Hz, 8 bits"},
        {bad_align, "block align 3"},
        {bad_rate, std::to_string(176400 & ~0xFF) + " bytes per second"},
    };
    for (const Case& c : cases) {
        expect_refused_as_file_and_stream(
            riff({chunk("fmt ", c.fmt), chunk("data", samples_bytes(64))}), kNotCd + c.what);
    }
    Bytes short_fmt = cd_fmt_body();
    short_fmt.resize(14);
    expect_refused_as_file_and_stream(
        riff({chunk("fmt ", short_fmt), chunk("data", samples_bytes(64))}),
        std::string(kNotCd) + "format record of 14 bytes");
}

TEST_F(WaveReaderTest, NotWavFilesAndMissingChunks) {
    Bytes avi = canonical_wav(samples_bytes(8));
    std::memcpy(avi.data() + 8, "AVI ", 4);
    Bytes rifx = canonical_wav(samples_bytes(8));
    rifx[3] = 'X';
    const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'};
    expect_refused_as_file_and_stream(avi, "not a WAV file");
    expect_refused_as_file_and_stream(rifx, "not a WAV file");
    expect_refused_as_file_and_stream(text, "not a WAV file");
    expect_refused_as_file_and_stream(
        riff({chunk("fmt ", cd_fmt_body()), chunk("LIST", Bytes(10, 0))}), "no data chunk");
    // A form size beyond the end says the input was cut, whatever its writer.
    expect_refused_as_file_and_stream(riff({chunk("fmt ", cd_fmt_body())}, 0xFFFFFFFF),
                                      "WAV header cut short");
    // A last chunk of odd size without its pad byte still ends cleanly.
    expect_refused_as_file_and_stream(
        riff({chunk("fmt ", cd_fmt_body()), chunk("LIST", Bytes(3, 0), false)}), "no data chunk");
    {
        da_WaveReader reader(
            store(riff({chunk("LIST", Bytes(10, 0)), chunk("data", samples_bytes(8))})).c_str());
        expect_refused(reader, "no fmt chunk");
    }
    {
        da_WaveReader reader(dir_.file("missing.wav").c_str());
        expect_refused(reader, std::string("cannot open: ") + std::strerror(ENOENT));
    }
    {
        da_WaveReader reader(dir_.path().c_str());
        expect_refused(reader, std::string("cannot open: ") + std::strerror(EISDIR));
    }
}

// Every proper prefix of a canonical file with audio: each must be refused
// without reading outside the file.
TEST_F(WaveReaderTest, HeaderCutAtEveryOffsetIsRefused) {
    const Bytes full = canonical_wav(samples_bytes(3528));
    for (std::size_t len = 0; len < 44; ++len) {
        SCOPED_TRACE("length " + std::to_string(len));
        expect_refused_as_file_and_stream(
            Bytes(full.begin(), full.begin() + static_cast<long>(len)), "WAV header cut short");
    }
}

TEST_F(WaveReaderTest, DataChunkLongerThanTheFileCountsWhatIsThere) {
    Bytes file = canonical_wav(samples_bytes(3528 * 2));
    file.resize(44 + 3528 + 3);  // one block and a partial frame survive
    da_WaveReader reader(store(file).c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_EQ(reader.format(), FORMAT_CDDA);
    EXPECT_TRUE(reader.cut_short());
    EXPECT_EQ(reader.samples(), 882);
    expect_audio(reader, samples_bytes(3528), 3528);
    expect_audio(reader, {}, 3528);

    file.resize(44);
    da_WaveReader empty(store(file).c_str());
    EXPECT_EQ(empty.problem(), "");
    EXPECT_TRUE(empty.cut_short());
    EXPECT_EQ(empty.samples(), 0);
}

TEST_F(WaveReaderTest, UnknownDataSizeRunsToTheEndWithoutWarning) {
    const Bytes audio = samples_bytes(3528 + 2);
    Bytes file = canonical_wav(audio);
    for (int i = 40; i < 44; ++i) file[static_cast<std::size_t>(i)] = 0xFF;
    for (int i = 4; i < 8; ++i) file[static_cast<std::size_t>(i)] = 0xFF;
    da_WaveReader reader(store(file).c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_FALSE(reader.cut_short());
    EXPECT_EQ(reader.samples(), 882);
    expect_audio(reader, Bytes(audio.begin(), audio.begin() + 3528), 4000);
}

// What an aborted run of the writer leaves: both sizes 0.
TEST_F(WaveReaderTest, ZeroSizesFromAnAbortedWriteGiveNoAudio) {
    Bytes file = canonical_wav(samples_bytes(3528));
    for (int i : {4, 5, 6, 7, 40, 41, 42, 43}) file[static_cast<std::size_t>(i)] = 0;
    da_WaveReader reader(store(file).c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_EQ(reader.samples(), 0);
    expect_audio(reader, {}, 100);
}

TEST_F(WaveReaderTest, FilesBetweenTwoAndFourGibibytes) {
    const std::int64_t data_bytes = 0xE0000000;  // 3.5 GiB
    const std::string path = store(canonical_wav({}));
    if (truncate(path.c_str(), static_cast<off_t>(44 + data_bytes)) != 0) {
        GTEST_SKIP() << "no sparse files here: " << std::strerror(errno);
    }
    {
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fseek(f, 40, SEEK_SET), 0);
        const std::uint8_t size[4] = {0, 0, 0, 0xE0};
        ASSERT_EQ(std::fwrite(size, 1, 4, f), 4u);
        std::fclose(f);
    }
    da_WaveReader reader(path.c_str());
    EXPECT_EQ(reader.problem(), "");
    EXPECT_FALSE(reader.cut_short());
    EXPECT_EQ(reader.samples(), data_bytes / 4);
}

}  // namespace

}  // namespace x91
