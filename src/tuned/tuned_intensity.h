// The tuned intensity measure: the band envelope the standard encoder
// measures, with each band's transmitted level moved for the step size it
// gives. The decoder derives the masking curve, and so every line's step,
// from these levels, so a level a few dB lower is a finer step for that band
// in that frame, paid for in bits, and one a few dB higher a coarser one.
#pragma once

#include <vector>

#include "analysis/band_envelope.h"
#include "analysis/intensity.h"
#include "format/settings.h"
#include "tuned/tuned_setup.h"

namespace x91 {

// Same queues as da_IntensityMeasure: takes 2 complex spectra (left first),
// puts them unchanged on output1 and a new int[bands] index array on output2.
class da_TunedIntensityMeasure final : public da_BandLevelMeasure {
  public:
    da_TunedIntensityMeasure(const da_DGlobalSettings& global, const da_DIntensitySetup& setup,
                             const da_IntensityTables& tables, const TunedEncoderSetup& tuned);

  private:
    float coded_level_db(int j, float level_db) override;
    // dB added to band j's measured level in this frame.
    float shift_db(int j, float level_db);

    int n_;
    float high_band_db_, tonal_db_;
    std::vector<float> previous_db_;  // each band's level in the frame before
    // The lines whose spectral flatness stands for each band: [first, end).
    std::vector<int> first_, end_;
};

}  // namespace x91
