// Parses a WAV file of arbitrary bytes. An accepted file must be CD audio
// whose sample count matches what rawread delivers; a refused one must say
// why and deliver nothing; rawread never reports more than it was asked for.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "scratch_file.h"
#include "wave/wave_reader.h"

using namespace x91;

namespace {

bool same_format(const da_PcmWaveFormat& a, const da_PcmWaveFormat& b) {
    return a.format_tag == b.format_tag && a.channels == b.channels &&
           a.samples_per_second == b.samples_per_second &&
           a.bytes_per_second == b.bytes_per_second && a.block_align == b.block_align &&
           a.bits_per_sample == b.bits_per_sample;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::make_scratch_file("x91-fuzz-wav");
    return 0;
}

namespace {

// Reads all sample data in pieces of the given sizes, then in pieces of the
// last one, and checks what rawread reports; returns the bytes delivered.
std::int64_t drain(da_WaveReader& reader, const int (&sizes)[5]) {
    std::vector<char> buf(4100);
    std::int64_t delivered = 0;
    for (int round = 0;; ++round) {
        const int want = sizes[round < 5 ? round : 4];
        std::memset(buf.data(), 0x55, buf.size());
        const int got = reader.rawread(buf.data(), want);
        if (got < 0 || got > want) std::abort();
        for (int i = got; i < want; ++i)
            if (buf[i] != 0) std::abort();
        delivered += got;
        if (round >= 5 && got == 0) break;
    }
    if (reader.rawread(buf.data(), 16) != 0) std::abort();
    return delivered;
}

void check(da_WaveReader& reader, std::size_t size, bool stream) {
    const bool accepted = reader.problem().empty();
    if (accepted && !same_format(reader.format(), FORMAT_CDDA)) std::abort();
    if (!accepted && (reader.samples() != 0 || reader.format().channels != 0)) std::abort();
    const std::int64_t frames = reader.samples();
    // Only a stream whose data runs to its end may not know its length, and
    // only a stream may declare more than it holds: a file counts what it has.
    if (frames < (stream ? -1 : 0)) std::abort();
    if (!stream && frames * 4 > static_cast<std::int64_t>(size)) std::abort();
    // A file is read in odd pieces, so frames straddle calls. A stream can
    // tell that its data ended inside a frame only when the read that meets
    // the end asks for whole frames, as the encoder's block reads do.
    constexpr int kOdd[5] = {1, 3, 4099, 2, 4099};
    constexpr int kFrames[5] = {4, 12, 4096, 8, 4100};
    const std::int64_t delivered = drain(reader, stream ? kFrames : kOdd);
    if (delivered % 4 != 0 || delivered > static_cast<std::int64_t>(size)) std::abort();
    if (delivered != reader.frames_read() * 4) std::abort();
    // A stream knows only the length its header declares; less may come.
    if (frames >= 0 && delivered > frames * 4) std::abort();
    if (frames >= 0 && delivered < frames * 4 && !reader.cut_short()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(fuzz::scratch_path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    {
        da_WaveReader reader(fuzz::scratch_path.c_str());
        check(reader, size, false);
    }

    // The same bytes as a stream read forward only, its first bytes already
    // taken to see what it holds, as for standard input.
    std::FILE* stream = std::fopen(fuzz::scratch_path.c_str(), "rb");
    if (!stream) std::abort();
    char taken[4] = {};
    const int n = static_cast<int>(std::fread(taken, 1, sizeof taken, stream));
    {
        da_WaveReader reader(stream, taken, n);
        check(reader, size, true);
    }
    std::fclose(stream);
    return 0;
}
