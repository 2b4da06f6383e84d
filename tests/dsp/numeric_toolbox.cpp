#include "dsp/numeric_toolbox.h"

#include <cmath>

#include "dsp/numeric.h"

namespace x91 {

namespace {

// Out-of-range floats (NaN, beyond int) would make the conversion undefined;
// they can only come from damaged data, and any in-range answer serves there.
int to_int_saturated(float integral) {
    if (!(integral == integral)) return 0;
    if (integral >= 2147483648.0f) return 2147483647;
    if (integral < -2147483648.0f) return -2147483647 - 1;
    return static_cast<int>(integral);
}

}  // namespace

int energy_round(float x) {
    const int lo = r_floor(x);
    const int hi = to_int_saturated(std::ceil(x));
    // The energy is cut to an integer before the comparison, which moves the
    // switch point between n and n+1 to the root of the next integer above
    // n² + n + ½ (2.6458 rather than 2.5 between 2 and 3).
    const float e = static_cast<float>(to_int_saturated(std::trunc(x * x)));
    const float dlo = r_abs(e - r_sqr(static_cast<float>(lo)));
    const float dhi = r_abs(e - r_sqr(static_cast<float>(hi)));
    return dhi > dlo ? lo : hi;
}

float signed_pow(float x, float p) {
    if (x > 0) return std::pow(x, p);
    if (x < 0) return -std::pow(-x, p);
    return 0.0f;
}

float ra_sum(const float* values, int count) {
    float sum = 0.0f;
    for (int i = 0; i < count; ++i) sum += values[i];
    return sum;
}

float ra_avg(const float* values, int count) {
    return count <= 0 ? 0.0f : ra_sum(values, count) / static_cast<float>(count);
}

float ra_max(const float* values, int count) {
    float best = values[0];
    for (int i = 1; i < count; ++i)
        if (values[i] > best) best = values[i];
    return best;
}

float ra_energy(const float* values, int count) {
    float sum = 0.0f;
    for (int i = 0; i < count; ++i) sum += r_sqr(values[i]);
    return sum;
}

}  // namespace x91
