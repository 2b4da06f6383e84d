// Quality: one percentage that rescales the two settings steering how
// closely the spectra are coded.
#pragma once

#include "format/settings.h"

namespace x91 {

// Usable quality percentages. Below 10 the quantiser base explodes towards
// infinity; above 400 it comes so close to 1 that indices, and coding time,
// grow without any gain.
inline constexpr float QUALITY_MIN = 10.0f;
inline constexpr float QUALITY_MAX = 400.0f;

bool quality_in_range(float q);

// A copy of settings rescaled by q percent: the masking level scale divided
// by q/100, the quantiser base raised to the power 100/q. q must be > 0.
da_ISettings apply_quality(const da_ISettings& settings, float q);

}  // namespace x91
