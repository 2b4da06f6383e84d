// Audio for the encoder, whatever the input holds: interleaved 16-bit
// stereo frames at 44100 Hz, and the input's tags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "command/cd_audio.h"
#include "x91/status.h"

namespace x91::cli {

// How an input x91 does not take as audio is refused (a WAV file that is
// not CD audio, more than two channels, ...): an argument the command
// cannot work with, named in the message.
inline constexpr Status kAudioRefused = Status::invalid_argument;

class PcmSource {
  public:
    virtual ~PcmSource() = default;

    // Fills up to `frames` frames (two samples each) and returns how many;
    // fewer only at the end of the audio, or when reading failed.
    virtual std::size_t read(std::int16_t* samples, std::size_t frames) = 0;

    // Once read() gave fewer frames than asked: ok at a clean end; cut_short
    // when the input ended before its header said, every frame present
    // delivered (a warning); read_failed when reading failed.
    virtual Result end_status() const = 0;

    virtual const std::vector<Tag>& tags() const = 0;
    // True when the input held more texts than any x91 file can store and
    // some were not read into tags().
    virtual bool tags_left_out() const { return false; }
};

}  // namespace x91::cli
