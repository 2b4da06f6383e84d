// The conversions of one file each, CD-format WAV to x91 and back, and the
// check of an x91 file that writes nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "command/console.h"
#include "format/settings.h"
#include "x91/x91.h"

namespace x91::cli {

// The name that stands for standard input as an input and for standard
// output as an output.
inline constexpr const char* kStdStreamName = "-";

// Where a conversion reads from: a named file, or an open stream (standard
// input) of which the first bytes were already taken to see what it holds.
struct Source {
    std::string name;             // shown in messages
    std::FILE* stream = nullptr;  // null: open name
    std::string taken;            // bytes taken from stream, read again first

    Source(std::string file_name) : name(std::move(file_name)) {}
    Source(const char* file_name) : name(file_name) {}
    Source(std::string shown_name, std::FILE* open_stream, std::string taken_bytes)
        : name(std::move(shown_name)), stream(open_stream), taken(std::move(taken_bytes)) {}
};

// What a conversion moved: blocks of 1/50 s and packet bytes.
struct ConversionStats {
    std::int64_t time_count = 0;
    std::int64_t byte_count = 0;
};

// Each returns true when the file was converted whole. On failure it has
// printed one line naming the file and the reason, and left no output (an
// existing file of the output's name is untouched). A damaged input that
// still gave output (a cut-short WAV, a damaged x91 file) keeps the output
// and returns false after a warning. An output named "-" is standard
// output, written directly: a failure part way leaves what was written.
bool WaveToXFile(const Source& in, std::string out, const da_ESettings& esettings,
                 const da_ISettings& isettings, const da_DSettings& dsettings,
                 const da_CodeFeatures& cf, const Console& console = Console::standard(),
                 ConversionStats* stats = nullptr);
bool XFileToWave(const Source& in, std::string out, const Console& console = Console::standard(),
                 ConversionStats* stats = nullptr);

// The verdict on one x91 file read whole: intact when its header is valid,
// the decoders read every packet to within its last byte and no further, the
// end marker is there and nothing follows it.
struct XFileVerdict {
    enum class Kind { intact, damaged, unreadable };
    Kind kind = Kind::intact;
    std::string reason;  // empty when intact
};
XFileVerdict TestXFile(const Source& in);

// Decoding stops after this many consecutive packets whose bits ran past
// their end.
inline constexpr int kMaxDamagedInARow = 8;

}  // namespace x91::cli
