// The quality at which an encode of some audio averages a given bit rate.
#pragma once

#include <cstddef>
#include <cstdint>

#include "library/encoder_options.h"
#include "x91/status.h"

namespace x91 {

// Audio the search reads in stretches, in any order and as often as it
// needs: read(context, first, count, out) puts the frames first to
// first + count - 1 into out (interleaved, left first) and returns false
// when it cannot.
struct RandomAccessPcm {
    std::uint64_t frames = 0;
    void* context = nullptr;
    bool (*read)(void* context, std::uint64_t first, std::size_t count,
                 std::int16_t* out) = nullptr;
};

// The options of the standard encoder (tuned false) or of the tuned one at
// the quality whose encode of the source averages kbps kilobits per second:
// the x91 file's size over the audio's length (see options_at_quality). A
// piece of 30 s or more lands within 5% unless the rate lies beyond what
// qualities 10 to 400 give, where the nearest end is taken. The quality is
// stored in out_quality. invalid_argument for a rate that is not positive
// and finite or a source without frames, read_failed when a read fails; out
// is then unchanged.
Result quality_for_bitrate(const RandomAccessPcm& source, double kbps, bool tuned,
                           float& out_quality);
// The same for audio in memory: frames interleaved stereo frames at pcm.
Result quality_for_bitrate(const std::int16_t* pcm, std::size_t frames, double kbps, bool tuned,
                           float& out_quality);

}  // namespace x91
