#include "dsp/window_shapes.h"

#include <cmath>
#include <cstddef>

#include "dsp/numeric.h"

namespace x91 {

namespace {

float* new_window(int n) {
    return new float[static_cast<std::size_t>(n)];
}

// (2i + 1)·π / d in float.
float odd_angle(int i, int d) {
    return static_cast<float>(2 * i + 1) * r_pi / static_cast<float>(d);
}

// The outer sine of the shaped windows is taken in double, as for the
// codec's own window: its argument is formed in float, the sine rounded once
// at the end.
float outer_sin(float x) {
    return static_cast<float>(std::sin(static_cast<double>(x)));
}

}  // namespace

float* sine_window_n(int n) {
    float* w = new_window(n);
    for (int i = 0; i < n; ++i) w[i] = std::sin(odd_angle(i, 2 * n));
    return w;
}

float* cosinsine_window_n(int n) {
    float* w = new_window(n);
    const float quarter_pi = r_pi / 4.0f;
    for (int i = 0; i < n; ++i) w[i] = outer_sin(quarter_pi * (1.0f - std::cos(odd_angle(i, n))));
    return w;
}

float* vorbis_window_n(int n) {
    float* w = new_window(n);
    const float half_pi = r_pi / 2.0f;
    for (int i = 0; i < n; ++i) w[i] = outer_sin(half_pi * r_sqr(std::sin(odd_angle(i, 2 * n))));
    return w;
}

float* cos3insine_window_n(int n) {
    float* w = new_window(n);
    const float quarter_pi = r_pi / 4.0f;
    for (int i = 0; i < n; ++i)
        w[i] = outer_sin(quarter_pi * (1.0f - r_cub(std::cos(odd_angle(i, n)))));
    return w;
}

void powering_window_n(float* w, int n) {
    const int q = n / 4;
    const int h = n / 2;
    // Each inner entry is the power complement of an outer entry just
    // reshaped: of the mirror image of its partner half a window away.
    for (int i = 0; i < q; ++i) {
        w[i] = r_sqrt_two * r_sqr(w[i]);
        w[3 * q + i] = r_sqrt_two * r_sqr(w[3 * q + i]);
        w[h - 1 - i] = std::sqrt(1.0f - r_sqr(w[i]));
        w[3 * q - 1 - i] = std::sqrt(1.0f - r_sqr(w[3 * q + i]));
    }
}

}  // namespace x91
