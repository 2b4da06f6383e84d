// Writes a WAV file in the canonical 44-byte layout and fixes its sizes at the
// end; audio too long for that layout's 32-bit sizes is written as RF64.
#pragma once

#include <cstdint>
#include <vector>

#include "storage/file_stream.h"
#include "wave/riff.h"
#include "wave/riff_info.h"
#include "x91/status.h"

namespace x91 {

// Layout: "RIFF" size "WAVE", "fmt " 16 and the format record, "data" size,
// then the sample bytes in the order of the rawwrite() calls. Both sizes are
// written as 0 at first and fixed by finish(). Texts given go into a
// LIST/INFO chunk between "fmt " and "data", where a stream's reader meets
// them before the audio; without texts the header is the canonical 44 bytes.
//
// The RIFF size counts the 36 header bytes behind it and the LIST chunk as
// well as the data, so the layout holds at most kLargestRiffData sample bytes
// less the LIST chunk's. A writer told to expect more writes RF64 instead:
// "RF64" and "data" carry 0xFFFFFFFF, and a "ds64" chunk between "WAVE" and
// "fmt " holds the true 64-bit sizes (80 header bytes in all). Without that
// warning, a write past the limit fails at once rather than after the rest
// of the audio.
class da_WaveWriter final {
  public:
    // How a writer on an open stream fills the size fields.
    enum class Sizes {
        // Both 0xFFFFFFFF from the start, as streaming writers leave them,
        // meaning "to the end of the file"; finish() only flushes. For a
        // stream that cannot seek (a pipe).
        streamed,
        // Fixed by finish(), as for a named file. For a regular file opened
        // for writing without O_APPEND, at any offset.
        fixed_at_finish,
    };

    // Creates (or truncates) name and writes the header.
    da_WaveWriter(const char* name, da_PcmWaveFormat format, std::int64_t expected_data_bytes = 0,
                  const std::vector<InfoText>& info = {});
    // Writes to an open stream, which is not closed.
    da_WaveWriter(std::FILE* stream, da_PcmWaveFormat format, Sizes sizes = Sizes::streamed,
                  std::int64_t expected_data_bytes = 0, const std::vector<InfoText>& info = {});
    // Runs finish() if it has not run; its result is then lost.
    ~da_WaveWriter();

    da_WaveWriter(const da_WaveWriter&) = delete;
    da_WaveWriter& operator=(const da_WaveWriter&) = delete;

    // Appends n sample bytes and returns the count written.
    int rawwrite(const char* buf, int n);

    // Fixes the sizes and closes the file (or flushes a lent stream). ok
    // only if every write, seek and the close succeeded; otherwise status().
    // Later calls return the same result.
    [[nodiscard]] Result finish();

    // True once any create, write, seek or close has failed.
    bool failed() const { return !file_ || !status_; }

    // ok while all is well, otherwise write_failed saying what went wrong,
    // e.g. "cannot create: Permission denied" or "write failed: No space
    // left on device".
    const Result& status() const { return status_; }

  private:
    void write_header(std::int64_t expected_data_bytes, const std::vector<InfoText>& info);
    void write_list(const std::vector<unsigned char>& list);
    bool fix_rf64_sizes();
    void note_failure();

    FileWriter file_;
    da_PcmWaveFormat format_;
    WriteBlockInfo riff_;
    WriteBlockInfo data_;
    std::int64_t ds64_start_ = -1;  // where the 64-bit sizes stand; -1 for RIFF
    bool streaming_ = false;
    bool finished_ = false;
    Result status_;
};

// The most sample bytes the plain RIFF layout can count.
inline constexpr std::int64_t kLargestRiffData = std::int64_t{0xFFFFFFFF} - 36;

}  // namespace x91
