#include "library/tuned_options.h"

#include <cmath>
#include <string>

namespace x91 {

Result tuned_choices_problem(const TunedChoices& choices) {
    if (!std::isfinite(choices.rate_weight) || choices.rate_weight < 0.0f ||
        choices.rate_weight > 100.0f)
        return Result{Status::invalid_argument, "tuned rate weight must be from 0 to 100, not " +
                                                    std::to_string(choices.rate_weight)};
    return {};
}

TunedEncoderSetup tuned_setup_from(const TunedChoices& choices) {
    TunedEncoderSetup setup;
    setup.rate_weight = choices.rate_weight;
    return setup;
}

// The tuned mode's settings at quality 100, found with PEAQ on music and
// speech excerpts at equal rates (bench/quality); a quality rescales the
// masking level and the quantiser base as it does for the specified encoder.
// - Level range 115 instead of 100: quiet bands (a soft orchestra's upper
//   partials) keep an envelope of their own instead of the floor's, which
//   left them to a curve far above them.
// - Quantiser base 1.05 instead of 1.1: finer levels for strong lines.
Result tuned_options(float percent, EncoderOptions& out) {
    EncoderOptions options;
    options.tuned = true;
    options.header.level_range = 115;
    options.header.quantizer_base = 1.05f;
    options.tuning.rate_weight = 0.06f;
    if (Result r = options.header.apply_quality(percent); !r) return r;
    out = options;
    return {};
}

}  // namespace x91
