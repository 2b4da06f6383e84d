// Generated stereo test signals and a fidelity measure for round trips.
#pragma once

#include <cstdint>
#include <vector>

#include "support/wav_bytes.h"

namespace x91test {

// `frames` stereo frames of each kind, interleaved, at 44100 Hz.
Pcm tone_signal(int frames, double hz, double amplitude);
Pcm noise_signal(int frames, double amplitude, unsigned seed);
Pcm transient_signal(int frames);                  // clicks and decaying bursts on silence
Pcm panned_signal(int frames);                     // a chord sweeping from left to right
Pcm music_like_signal(int frames, unsigned seed);  // tones + noise + transients

// Signal-to-noise ratio in dB of `decoded` against `original` delayed by
// `delay_frames` (decoded[i + delay] is compared with original[i]) over the
// original's length.
double snr_db(const Pcm& original, const Pcm& decoded, int delay_frames);

}  // namespace x91test
