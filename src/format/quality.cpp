#include "format/quality.h"

#include <cmath>
#include <string>

namespace x91 {

bool quality_in_range(float q) {
    return q >= kQualityMin && q <= kQualityMax;
}

da_ISettings apply_quality(const da_ISettings& settings, float q) {
    da_ISettings scaled = settings;
    // Both quotients are formed in double with the constant 100 and stored
    // as float; the exponent is rounded to float before the power is taken,
    // so encoders on every host write the same header bytes.
    scaled.masking.level_scale = static_cast<float>(settings.masking.level_scale / (q / 100.0));
    const float exponent = static_cast<float>(100.0 / q);
    scaled.quantize.base = static_cast<float>(std::pow(settings.quantize.base, exponent));
    return scaled;
}

Result quality_problem(double q) {
    if (q >= kQualityMin && q <= kQualityMax) return {};
    return {Status::invalid_argument, "quality must be from " + std::to_string(X91_QUALITY_MIN) +
                                          " to " + std::to_string(X91_QUALITY_MAX) + " percent"};
}

Result apply_quality(HeaderSettings& settings, float percent) {
    if (Result bad = quality_problem(percent); !bad) return bad;
    settings.isettings = apply_quality(settings.isettings, percent);
    return {};
}

}  // namespace x91
