// Feeds arbitrary bytes to the command's audio input as a file and as a
// stream, as it meets FLAC, AIFF, W64, RF64 and WAV of any format: the own
// WAV reader first, libsndfile for the rest, then resampling, dithering and
// the checks of a cut input. Whatever the bytes, reading delivers at most
// the frames asked for, ends with an outcome the encoder knows, and keeps
// tags it can store.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "command/audio_input/open_input.h"
#include "command/input_kind.h"
#include "format/tag_text.h"
#include "scratch_file.h"

namespace x91::cli {
namespace {

// Enough to pass every stage many times over; a few bytes of FLAC may
// claim hours of audio, which would only cost time.
constexpr std::size_t kMostFrames = std::size_t{1} << 19;

void drain(const Source& in) {
    std::unique_ptr<PcmSource> source;
    if (!open_pcm_source(in, source)) return;
    std::vector<std::int16_t> samples(2 * 4096 + 2, 0x5555);
    std::size_t frames = 0;
    for (const std::size_t want : {1, 3, 4096, 4096}) {
        const std::size_t got = source->read(samples.data(), want);
        if (got > want || samples[2 * want] != 0x5555) std::abort();
        frames += got;
        if (got < want) break;
    }
    while (frames < kMostFrames) {
        const std::size_t got = source->read(samples.data(), 4096);
        frames += got;
        if (got < 4096) break;
    }
    const Status end = source->end_status().status;
    if (frames < kMostFrames && end != Status::ok && end != Status::cut_short &&
        end != Status::read_failed)
        std::abort();
    for (const Tag& tag : source->tags())
        if (!valid_tag_name(tag.name) || !valid_utf8(tag.value)) std::abort();
}

}  // namespace
}  // namespace x91::cli

using x91::cli::drain;
using x91::cli::Source;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::make_scratch_file("x91-fuzz-audio");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(fuzz::scratch_path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    drain(Source(fuzz::scratch_path));

    // The same bytes as standard input meets them: its first bytes taken to
    // see what it holds, the rest read forward only.
    std::FILE* stream = std::fopen(fuzz::scratch_path.c_str(), "rb");
    if (!stream) std::abort();
    const std::string start = x91::cli::take_start(stream);
    drain(Source("-", stream, start));
    std::fclose(stream);
    return 0;
}
