#include "dsp/block_transforms.h"

#include <cmath>

#include "dsp/fft.h"
#include "dsp/mdcst.h"
#include "dsp/numeric.h"

namespace {

// The short MDCST of a frame holding the block in its middle half is a DST-IV
// scaled by 1/(2·√56·√2) and windowed; g undoes the scale.
float dst_gain() {
    return std::sqrt(56.0f) * r_sqrt_two;
}

}  // namespace

void hvst56(const float* a, const float* b, float* ta, float* tb) {
    fft_require_tables("hvst56");
    const float g = dst_gain();
    float z[2 * 112] = {};
    for (int i = 0; i < 56; ++i) {
        const float w = window_112[28 + i];
        z[2 * (28 + i)] = a[i] / w;
        z[2 * (28 + i) + 1] = b[i] / w;
    }
    float p[2 * 56];
    float q[2 * 56];
    stereo_mdcst_112(z, p, q);
    for (int k = 0; k < 56; ++k) {
        ta[k] = 2.0f * p[2 * k] * g;
        tb[k] = 2.0f * q[2 * k] * g;
    }
}

void ihvst56(const float* ta, const float* tb, float* a, float* b) {
    fft_require_tables("ihvst56");
    const float g = dst_gain();
    float p[2 * 56];
    float q[2 * 56];
    for (int k = 0; k < 56; ++k) {
        p[2 * k] = ta[k];
        p[2 * k + 1] = 0.0f;
        q[2 * k] = tb[k];
        q[2 * k + 1] = 0.0f;
    }
    float y[2 * 112];
    stereo_imdcst_112(p, q, y);
    for (int i = 0; i < 56; ++i) {
        const float d = window_112[28 + i] * g;
        a[i] = y[2 * (28 + i)] / d;
        b[i] = y[2 * (28 + i) + 1] / d;
    }
}

void overlap56(const float* src, float* dst) {
    fft_require_tables("overlap56");
    for (int i = 0; i < 28; ++i) {
        const float c = src[i], d = src[55 - i];
        const float p = window_112[56 + i], s = window_112[i];
        dst[i] = p * c + s * d;
        dst[55 - i] = p * d - s * c;
    }
}

void ioverlap56(const float* src, float* dst) {
    fft_require_tables("ioverlap56");
    for (int i = 0; i < 28; ++i) {
        const float c = src[i], d = src[55 - i];
        const float p = window_112[56 + i], s = window_112[i];
        dst[i] = p * c - s * d;
        dst[55 - i] = s * c + p * d;
    }
}
