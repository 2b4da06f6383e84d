// The conversions of one file each, CD-format WAV to x91 and back, and the
// check of an x91 file that writes nothing.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "command/progress_display.h"
#include "command/source.h"
#include "format/settings.h"
#include "x91/status.h"
#include "x91/x91.h"

namespace x91::cli {

// The settings every encoding of a run uses: copies of the defaults, with
// the run's quality applied, or the tuned mode's settings at that quality.
struct EncodeSettings {
    da_ESettings esettings = es;
    da_ISettings isettings = is;
    da_DSettings dsettings = ds;
    da_CodeFeatures features{};  // reserved, all zero
    bool tuned = false;
    TunedChoices tuning{};
    // With -b: each file's quality is searched for this average rate (kbit/s)
    // and the settings above are replaced by those of the quality found.
    std::optional<double> bitrate;
};

// -b holds the whole audio in memory while it searches the quality: at most
// this many sample frames (1 GiB, about 101 minutes of CD audio).
inline constexpr std::int64_t kMaxBufferedFrames = std::int64_t{1} << 28;

// What a conversion moved: blocks of 1/50 s and packet bytes.
struct ConversionStats {
    std::int64_t time_count = 0;
    std::int64_t byte_count = 0;
};

// How a conversion ended.
struct [[nodiscard]] ConversionResult {
    // ok when the file was converted whole, otherwise the first problem:
    // write_failed for the output, any other status for the input.
    Result result;
    // With a problem: the input was damaged (a cut-short WAV, a damaged x91
    // file) but still gave output, which is kept.
    bool output_kept = false;
    ConversionStats stats{};
};

// Both drivers show their conversion and progress lines on display, and
// "done." once the output is in place. Unless the output is kept, a failed
// conversion leaves no output (an existing file of the output's name is
// untouched). An output named "-" is standard output, and an existing
// output that is not a regular file is written into as it is: a failure
// part way leaves what was written (see Output).
ConversionResult WaveToXFile(const Source& in, const std::string& out,
                             const EncodeSettings& settings, ProgressDisplay& display);
ConversionResult XFileToWave(const Source& in, const std::string& out, ProgressDisplay& display);

// Reads an x91 file whole and writes nothing. ok when it is intact: its
// header is valid, the decoders read every packet to within its last byte
// and no further, the end marker is there and nothing follows it.
// Otherwise the first thing that is not so.
Result TestXFile(const Source& in);

// Decoding stops after this many consecutive packets whose bits ran past
// their end.
inline constexpr int kMaxDamagedInARow = 8;

}  // namespace x91::cli
