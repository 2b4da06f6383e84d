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

#include "storage/wave_reader.h"

namespace {

std::string temp_path;

bool same_format(const da_PcmWaveFormat& a, const da_PcmWaveFormat& b) {
    return a.format_tag == b.format_tag && a.channels == b.channels &&
           a.samples_per_second == b.samples_per_second &&
           a.bytes_per_second == b.bytes_per_second && a.block_align == b.block_align &&
           a.bits_per_sample == b.bits_per_sample;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/x91-fuzz-wav.XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) std::abort();
    close(fd);
    temp_path = pattern;
    std::atexit([] { unlink(temp_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(temp_path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    da_WaveReader reader(temp_path.c_str());
    const bool accepted = reader.problem().empty();
    if (accepted && !same_format(reader.format(), FORMAT_CDDA)) std::abort();
    if (!accepted && (reader.samples() != 0 || reader.format().channels != 0)) std::abort();
    const std::int64_t frames = reader.samples();
    if (frames < 0 || frames * 4 > static_cast<std::int64_t>(size)) std::abort();

    // Odd read sizes, so frames straddle calls; the data must come out whole.
    std::vector<char> buf(4099);
    std::int64_t delivered = 0;
    for (int want : {1, 3, 4099, 2, 4099}) {
        std::memset(buf.data(), 0x55, buf.size());
        const int got = reader.rawread(buf.data(), want);
        if (got < 0 || got > want) std::abort();
        for (int i = got; i < want; ++i)
            if (buf[i] != 0) std::abort();
        delivered += got;
    }
    for (;;) {
        const int got = reader.rawread(buf.data(), static_cast<int>(buf.size()));
        if (got < 0 || got > static_cast<int>(buf.size())) std::abort();
        if (got == 0) break;
        delivered += got;
    }
    if (delivered != frames * 4) std::abort();
    if (reader.rawread(buf.data(), 16) != 0) std::abort();
    return 0;
}
