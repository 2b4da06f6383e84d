// The one line that tells what happened to audio on its way into the
// encoder when it was not already CD audio.
#pragma once

#include <sndfile.h>

#include <string>

namespace x91::cli {

// "96000 Hz 24-bit converted to 44100 Hz 16-bit", with "mono" and "stereo"
// after the depths for mono sent to both channels; "" for audio that passes
// unchanged (16 bits or fewer, integer, 44100 Hz, two channels).
std::string input_change(const SF_INFO& info);

}  // namespace x91::cli
