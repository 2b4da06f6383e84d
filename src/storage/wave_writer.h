// Writes a WAV file in the canonical 44-byte layout and fixes its sizes at the end.
#pragma once

#include <cstdint>
#include <vector>

#include "storage/file_stream.h"
#include "storage/riff.h"
#include "storage/riff_info.h"
#include "x91/status.h"

namespace x91 {

// Layout: "RIFF" size "WAVE", "fmt " 16 and the format record, "data" size,
// then the sample bytes in the order of the rawwrite() calls. Both sizes are
// written as 0 at first and fixed by finish(). Texts given go into a
// LIST/INFO chunk between "fmt " and "data", where a stream's reader meets
// them before the audio; without texts the header is the canonical 44 bytes.
class da_WaveWriter final {
  public:
    // Creates (or truncates) name and writes the header.
    da_WaveWriter(const char* name, da_PcmWaveFormat format,
                  const std::vector<InfoText>& info = {});
    // Writes to an open stream that may not seek (standard output, a pipe):
    // both sizes are 0xFFFFFFFF from the start, as streaming writers leave
    // them, meaning "to the end of the file", and finish() only flushes.
    // The stream is not closed.
    da_WaveWriter(std::FILE* stream, da_PcmWaveFormat format,
                  const std::vector<InfoText>& info = {});
    // Runs finish() if it has not run; its result is then lost.
    ~da_WaveWriter();

    da_WaveWriter(const da_WaveWriter&) = delete;
    da_WaveWriter& operator=(const da_WaveWriter&) = delete;

    // Appends n sample bytes and returns the count written.
    int rawwrite(const char* buf, int n);

    // Fixes both sizes and closes the file. ok only if every write, seek and
    // the close succeeded and the sizes fit their 32-bit fields (data up to
    // 4 GiB minus the header); otherwise status(). Later calls return the
    // same result.
    [[nodiscard]] Result finish();

    // True once any create, write, seek or close has failed.
    bool failed() const { return !file_ || !status_; }

    // ok while all is well, otherwise write_failed saying what went wrong,
    // e.g. "cannot create: Permission denied" or "write failed: No space
    // left on device".
    const Result& status() const { return status_; }

  private:
    void write_info(const std::vector<InfoText>& info);
    void note_failure();

    FileWriter file_;
    da_PcmWaveFormat format_;
    WriteBlockInfo riff_;
    WriteBlockInfo data_;
    bool streaming_ = false;
    bool finished_ = false;
    Result status_;
};

}  // namespace x91
