// Scalar quantisers of the codec's toolbox that nothing in the codec calls, kept and checked here.
#pragma once

namespace x91 {

// Uniform steps, rounded to the index whose energy is nearest (energy_round).
int lin_quant_value(float x, float step);
float lin_dequant_value(int k, float step);

// n equal cells of [lo, hi): cell index (not clamped) and cell centre.
int range_to_zn(float x, float lo, float hi, int n);
float zn_to_range(int k, float lo, float hi, int n);

// Element k of the descending order of a[0 .. count − 1] (0 = largest); a is
// not changed. k is clamped into range; an empty array gives 0.
float kth_largest(const float* a, int count, int k);

}  // namespace x91
