#include "format/quality.h"

#include <cmath>

namespace x91 {

bool quality_in_range(float q) {
    return q >= QUALITY_MIN && q <= QUALITY_MAX;
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

}  // namespace x91
