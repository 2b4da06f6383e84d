// Quality: one percentage that rescales the two settings steering how
// closely the spectra are coded.
#pragma once

#include "format/checked_settings.h"
#include "format/limits.h"
#include "format/settings.h"
#include "x91/status.h"

namespace x91 {

// Usable percentages: kQualityMin to kQualityMax.
bool quality_in_range(float q);
// ok in the range; otherwise invalid_argument, "quality must be from 10 to
// 400 percent".
Result quality_problem(double q);

// A copy of settings rescaled by q percent: the masking level scale divided
// by q/100, the quantiser base raised to the power 100/q. q must be > 0.
da_ISettings apply_quality(const da_ISettings& settings, float q);

// Rescales the two quality settings of settings by percent (100 leaves
// them): what the quality of the x91 command does to the defaults.
// invalid_argument ("quality must be from 10 to 400 percent"), and no
// change, outside the range.
[[nodiscard]] Result apply_quality(HeaderSettings& settings, float percent);

}  // namespace x91
