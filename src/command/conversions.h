// The conversions of one file each, CD-format WAV to x91 and back, and the
// check of an x91 file that writes nothing.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "command/cd_audio.h"
#include "command/progress_display.h"
#include "command/source.h"
#include "x91/status.h"
#include "x91/x91.h"

namespace x91::cli {

// What every encoding of a run asks of the library's encoder.
struct EncodeSettings {
    // The quality in percent; the library's default without one.
    std::optional<double> quality;
    bool tuned = false;
    // With -b: each file's quality is searched for this average rate
    // (kbit/s), in place of the one above.
    std::optional<double> bitrate;
    // Without the extension block: the file ends at its end marker.
    bool plain = false;
    // Tags of the command line; they replace the input's of the same names.
    std::vector<Tag> tags;
};

// What a conversion moved: blocks of 1/50 s and packet bytes.
struct ConversionStats {
    std::int64_t time_count = 0;
    std::int64_t byte_count = 0;
};

// How a conversion ended.
struct [[nodiscard]] ConversionResult {
    // ok when the file was converted whole, otherwise the first problem:
    // write_failed for the output, any other status for the input.
    Result result{};
    // With a problem: the input was damaged (a cut-short WAV, a damaged x91
    // file) but still gave output, which is kept.
    bool output_kept = false;
    ConversionStats stats{};
    // Of a conversion that succeeded: what it had to leave out (tags
    // beyond the extension block's room); empty when nothing.
    std::string warning{};
};

// out_of_memory "out of memory": the short message needs no memory.
inline Result out_of_memory() {
    return {Status::out_of_memory, "out of memory"};
}

// Both drivers show their conversion and progress lines on display, and
// "done." once the output is in place. Unless the output is kept, a failed
// conversion leaves no output (an existing file of the output's name is
// untouched). An output named "-" is standard output, and an existing
// output that is not a regular file is written into as it is: a failure
// part way leaves what was written (see Output).
//
// WaveToXFile takes any input open_pcm_source() opens and writes the
// extension block unless settings.plain. XFileToWave writes the format
// the output's name asks for (see open_pcm_sink) and, unless raw, exactly
// the input's frames when the file has the block; a damaged or unknown
// block is a warning, and the decode then is raw.
//
// Each conversion runs on a thread holding a place of `threads`, the
// threads of the whole run, and codes on the places it can borrow too; its
// output is the same on any number. Running out of memory is out_of_memory,
// without output.
ConversionResult WaveToXFile(const Source& in, const std::string& out,
                             const EncodeSettings& settings, ProgressDisplay& display,
                             x91_threads* threads);
ConversionResult XFileToWave(const Source& in, const std::string& out, bool raw,
                             ProgressDisplay& display, x91_threads* threads);

// Reads an x91 file whole and writes nothing (see x91_check_callbacks): ok
// when it is intact; no_extension, also intact, when nothing follows the
// end marker; extension_unknown, intact as far as can be told, for a block
// of a later version; otherwise the first thing that is not so, or
// read_failed.
Result TestXFile(const Source& in, x91_threads* threads);

}  // namespace x91::cli
