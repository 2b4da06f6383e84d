// Band envelopes straight from their definition: line by line over a bare
// index table, one plain sum per slot in line order. The prepared-share
// forms of the codec must give these very bits; the tests also use them as
// handy allocating forms.
#pragma once

#include <vector>

namespace x91 {

// Band weights (bands values): the total share every band receives.
std::vector<float> env_iweights(const float* itab, int count, int bands);
// Weighted band means of per-line values (bands values).
std::vector<float> env_lowres(const float* itab, int count, int bands, const float* weights,
                              const float* values);
// Per-line interpolation of band values (count values).
std::vector<float> env_highres(const float* itab, int count, int bands, const float* lowres);
// Band values clamped to [lo, hi] and refined `iterations` times so that
// their interpolation fits the per-line values.
std::vector<float> env_lowres_iter(const float* itab, int count, int bands, const float* weights,
                                   const float* values, float lo, float hi, int iterations);

}  // namespace x91
