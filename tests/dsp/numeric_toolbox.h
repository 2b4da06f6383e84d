// Numeric helpers of the codec's toolbox that nothing in the codec calls, kept and checked here.
#pragma once

namespace x91 {

// The neighbouring integer whose square is nearest to the energy x², the
// energy first cut to an integer; ties go to the upper neighbour.
int energy_round(float x);
// pow(|x|, p) carrying the sign of x; 0 for x = 0 whatever p is.
float signed_pow(float x, float p);

// Float sums in index order; an empty array sums to 0.
float ra_sum(const float* values, int count);
// ra_sum / count, or 0 when count <= 0.
float ra_avg(const float* values, int count);
// The largest value; values[0] is read whatever the count.
float ra_max(const float* values, int count);
// Sum of the squares.
float ra_energy(const float* values, int count);

}  // namespace x91
