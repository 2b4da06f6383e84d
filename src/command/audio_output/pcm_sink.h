// Where decoded audio goes: interleaved 16-bit stereo frames at 44100 Hz,
// written as WAV by the codec's own writer or as FLAC, AIFF or W64 through
// libsndfile, with the tags each format can carry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "command/cd_audio.h"
#include "command/output.h"
#include "x91/status.h"

namespace x91::cli {

class PcmSink {
  public:
    virtual ~PcmSink() = default;

    virtual void write(const std::int16_t* samples, std::size_t frames) = 0;
    // True once a write failed; later writes are lost.
    virtual bool failed() const = 0;
    // Completes and closes the file: ok, or write_failed with the reason.
    virtual Result finish() = 0;
};

// Picks the format by the output's name: ".flac", ".aiff" or ".aif", ".w64"
// (in any case) through libsndfile, WAV for every other name and for
// standard output "-". Writes into output's stream, opened and not yet
// written; a WAV whose data will pass expected_bytes' worth of the 32-bit
// sizes is RF64 from its first byte. ok with sink set, or write_failed.
[[nodiscard]] Result open_pcm_sink(const std::string& out, const Output& output,
                                   std::int64_t expected_bytes, const std::vector<Tag>& tags,
                                   std::unique_ptr<PcmSink>& sink);

}  // namespace x91::cli
