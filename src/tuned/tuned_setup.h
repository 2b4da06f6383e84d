// Encoder-only choices of the tuned mode. They steer which values the
// encoder sends, never how a decoder reads them, so no file stores them.
#pragma once

namespace x91 {

struct TunedEncoderSetup {
    // Squared error, in units of the masking curve, that one bit is worth:
    // every index is chosen for the least error + rate_weight · bits.
    float rate_weight = 0.06f;
};

}  // namespace x91
