// Generated stereo music for the benchmarks: interleaved little-endian
// 16-bit PCM at 44100 Hz, the bytes of a WAV data chunk.
#pragma once

#include <vector>

namespace x91 {

// A few drifting partials with vibrato, a slow tremolo and a little noise in
// each channel: tonal lines, a noise floor and changing envelopes, so every
// stage of the encoder (block forms, stereo map, masking) has work to do.
std::vector<unsigned char> music_pcm(int seconds);

}  // namespace x91
