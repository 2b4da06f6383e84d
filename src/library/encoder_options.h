// What an Encoder is built from: the settings stored in the file, and the
// choices of the tuned encoder when it is the one that chooses what to send.
#pragma once

#include "format/checked_settings.h"
#include "x91/status.h"

namespace x91 {

// Choices of the tuned encoder. They change which values the encoder sends,
// never the format, so every decoder reads its files.
struct TunedChoices {
    // Squared error, in units of the masking curve, that one bit is worth:
    // each index is chosen for the least error + rate_weight * bits (0 to 100).
    float rate_weight = 0.06f;
    // Steps of the highest quarter of the bands: dB their levels are sent
    // above what was measured, a coarser step, or below it (negative), a
    // finer one (-20 to 20).
    float high_band_db = 3.0f;
    // dB the level of a noise-like band is sent above, and that of a tonal
    // one below, what was measured (0 to 20).
    float tonal_db = 3.0f;
};

struct EncoderOptions {
    HeaderSettings header;
    // The tuned encoder instead of the standard one.
    bool tuned = false;
    TunedChoices tuning;
};

// The tuned mode at a quality percentage (10 to 400; 100 is the default):
// header settings and choices tuned for quality per bit with PEAQ on music
// and speech. invalid_argument, and out unchanged, outside the range.
Result tuned_options(float percent, EncoderOptions& out);

// The options of either mode at a quality percentage: the defaults with
// the quality applied (apply_quality) for the standard encoder, those of
// tuned_options for the tuned one. invalid_argument, and out unchanged,
// outside the range.
Result options_at_quality(float percent, bool tuned, EncoderOptions& out);

}  // namespace x91
