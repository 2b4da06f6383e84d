#include "library/tuned_options.h"

#include <cmath>
#include <string>

#include "format/quality.h"

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
// masking level and the quantiser base as it does for the standard encoder.
// - Level range 115 instead of 100: quiet bands (a soft orchestra's upper
//   partials) keep an envelope of their own instead of the floor's, which
//   left them to a curve far above them.
// - Quantiser base 1.05 instead of 1.1: finer levels for strong lines.
// - Spreading bases 0.07 downward and 0.06 upward instead of 0.2 and 0.15:
//   about -11.5 and -12 dB per Bark instead of -7 and -8. The curve then
//   follows the envelope into the valleys between partials and formants
//   instead of covering them with the slopes of their strong neighbours, so
//   their noise is no longer left to the level of those neighbours. It gave
//   about +0.02 ODG on music at 100 and 130 kbit/s and +0.15 on speech; the
//   gain stays within 0.01 from 0.05 to 0.1 for either base.
// - The rate weight grows with the square root of the quality, 0.06 at
//   quality 145 (about 130 kbit/s on music), 0.05 at 100 (about 100): the
//   lighter weight at low rates keeps more small lines and measured about
//   +0.01 ODG at 100 kbit/s, even at 130.
Result tuned_options(float percent, EncoderOptions& out) {
    EncoderOptions options;
    options.tuned = true;
    options.header.dsettings.intensity.range = 115;
    options.header.isettings.quantize.base = 1.05f;
    options.header.isettings.masking.downward_base = 0.07f;
    options.header.isettings.masking.upward_base = 0.06f;
    options.tuning.rate_weight = 0.06f * std::sqrt(percent / 145.0f);
    if (Result r = apply_quality(options.header, percent); !r) return r;
    out = options;
    return {};
}

Result options_at_quality(float percent, bool tuned, EncoderOptions& out) {
    if (tuned) return tuned_options(percent, out);
    EncoderOptions options;
    if (Result r = apply_quality(options.header, percent); !r) return r;
    out = options;
    return {};
}

}  // namespace x91
