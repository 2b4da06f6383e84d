#include "dsp/windows.h"

#include <cmath>
#include <cstddef>

#include "dsp/numeric.h"

namespace x91 {

namespace {

float* new_window(int n) {
    return new float[static_cast<std::size_t>(n)];
}

// The outer sine of the window is taken in double: its argument is formed
// in float, the sine rounded once at the end.
float outer_sin(float x) {
    return static_cast<float>(std::sin(static_cast<double>(x)));
}

}  // namespace

float* spline3insine_window_n(int n) {
    float* w = new_window(n);
    // t rises as (2i + 1)/n to the middle and mirrors back; for odd n the
    // middle entry gets the value it would have in the rising half, so the
    // window is always fully defined.
    for (int i = 0; n - 1 - i >= i; ++i) {
        const float t = static_cast<float>(2 * i + 1) / static_cast<float>(n);
        w[i] = t;
        w[n - 1 - i] = t;
    }
    const float half_pi = r_pi / 2.0f;
    for (int i = 0; i < n; ++i) {
        const float t = w[i];
        w[i] = outer_sin(half_pi * (3.0f * r_sqr(t) - 2.0f * r_cub(t)));
    }
    return w;
}

float* def_window_n(int n) {
    return spline3insine_window_n(n);
}

}  // namespace x91
