// Encoder-only choices of the tuned mode. They steer which values the
// encoder sends, never how a decoder reads them, so no file stores them.
#pragma once

namespace x91 {

struct TunedEncoderSetup {
    // Squared error, in units of the masking curve, that one bit is worth:
    // every index is chosen for the least error + rate_weight · bits.
    float rate_weight = 0.06f;
    // dB the top quarter of the bands is sent above its measured level: a
    // coarser step there, or with a negative value a finer one.
    float high_band_db = 3.0f;
    // dB a noise-like band is sent above, and a tonal one below, its level.
    float tonal_db = 3.0f;
};

}  // namespace x91
