// Opens a WAV file, finds its format and sample data, and streams the samples.
#pragma once

#include <cstdint>
#include <string>

#include "storage/file_stream.h"
#include "storage/riff.h"

// Accepts CD audio only: 16-bit stereo PCM at 44100 Hz, in a plain "fmt "
// record or in the extensible one with the PCM subformat. Other chunks may
// stand before "fmt " and between "fmt " and "data"; they are skipped.
// Anything else is refused with a reason in problem(); a refused reader has
// an all-zero format(), no samples, and rawread() delivers only zeros.
class da_WaveReader final {
  public:
    explicit da_WaveReader(const char* name);

    da_WaveReader(const da_WaveReader&) = delete;
    da_WaveReader& operator=(const da_WaveReader&) = delete;

    // FORMAT_CDDA for an accepted file, all zero otherwise.
    da_PcmWaveFormat format() const { return format_; }

    // Whole sample frames present in the data chunk.
    std::int64_t samples() const { return data_bytes_ / 4; }

    // Reads n bytes of sample data at the current position; what lies past
    // the end of the sample data is delivered as zero. Returns the number of
    // sample bytes delivered; reading only ever moves forward.
    int rawread(char* buf, int n);

    // Empty for an accepted file, otherwise the reason it was refused, e.g.
    // "not 16-bit stereo 44100 Hz PCM: 1 channel".
    const std::string& problem() const { return problem_; }

    // True when the data chunk claims more bytes than the file holds (or the
    // file shrank while being read): the audio ends early.
    bool cut_short() const { return cut_short_; }

  private:
    void parse();
    void refuse(std::string reason);

    FileReader file_;
    da_PcmWaveFormat format_;
    ReadBlockInfo data_;
    std::int64_t data_bytes_ = 0;  // whole frames only, within the file
    std::int64_t consumed_ = 0;    // sample bytes delivered so far
    bool cut_short_ = false;
    std::string problem_;
};
