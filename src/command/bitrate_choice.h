// -b: the settings of the quality that gives a file its average bit rate.
#pragma once

#include <cstdint>
#include <memory>

#include "command/audio_input/pcm_source.h"
#include "command/conversions.h"

namespace x91::cli {

// The search encodes the audio several times, so it is held in memory, from
// files and pipes alike: at most this many sample frames (1 GiB, about 101
// minutes of CD audio).
inline constexpr std::uint64_t kMaxHeldFrames = std::uint64_t{1} << 28;

// Reads source to its end and replaces it by the audio held in memory, with
// the same end status and tags; then finds the quality at which an encode
// in the mode of `settings` averages settings.bitrate. A source that failed
// gives its end status; one longer than kMaxHeldFrames invalid_argument.
// Audio without a frame keeps the default quality.
Result choose_for_bitrate(std::unique_ptr<PcmSource>& source, const EncodeSettings& settings,
                          double& quality);

}  // namespace x91::cli
