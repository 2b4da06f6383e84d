#include "dsp/mdcst.h"

#include <cstddef>

#include "dsp/cpu_variants.h"
#include "dsp/fft.h"
#include "dsp/fft_internal.h"

namespace x91 {

namespace {

using fft_detail::cmul;

// The tables of one frame size: F2 = e^(+jπn/M) and its conjugate I2, the
// window, and the quarter-resolution twiddles in the order they are used.
struct FrameTables {
    const float* f2;
    const float* i2;
    const float* window;
    const fft_detail::MdcstTwiddles* tw;
};

FrameTables long_tables() {
    return {circle_f_3528, circle_i_3528, window_1764, &fft_detail::mdcst_tables->long_frame};
}

FrameTables short_tables() {
    return {circle_f_224, circle_i_224, window_112, &fft_detail::mdcst_tables->short_frame};
}

// The forward and inverse transforms as a few sequential passes around the
// FFT; fused steps keep each value's operations and their order. Scratch
// lives on the stack, so concurrent calls share nothing but the tables.
template <int M>
X91_PASS void forward(const FrameTables& t, const float* x, float* a, float* b) {
    constexpr int n = M / 2;
    float u[2 * M];
    float spectrum[2 * M];
    for (int i = 0; i < M; ++i) {
        const float w = t.window[i];
        const float p[2] = {x[2 * i] * w, x[2 * i + 1] * w};
        cmul(u + 2 * i, p, t.f2 + 2 * i);
    }
    if constexpr (M == 1764)
        fft_detail::dft_1764(u, spectrum, 2, 2, true);
    else
        fft_112_dd(u, spectrum, 1, 1);
    const float* odd = t.tw->odd_f.data();
    for (int k = 0; k < M; ++k) cmul(spectrum + 2 * k, spectrum + 2 * k, odd + 2 * k);
    mdcst_separate_n(spectrum, a, b, M);
    const float* line = t.tw->line_i.data();
    for (int k = 0; k < n; ++k) {
        cmul(a + 2 * k, a + 2 * k, line + 2 * k);
        cmul(b + 2 * k, b + 2 * k, line + 2 * k);
    }
}

template <int M>
X91_PASS void inverse(const FrameTables& t, const float* a, const float* b, float* y) {
    constexpr int n = M / 2;
    const float* line = t.tw->line_f.data();
    const float* odd = t.tw->odd_i.data();
    // The line twiddles, the combination into Z (mdcst_combine_pair per line)
    // and the odd twiddles in one pass: each value takes the same operations
    // in the same order, without the intermediate arrays.
    float z[2 * M];
    for (int k = 0; k < n; ++k) {
        float at[2], bt[2];
        cmul(at, a + 2 * k, line + 2 * k);
        cmul(bt, b + 2 * k, line + 2 * k);
        float low[2], high[2];
        mdcst_combine_pair(at, bt, low, high);
        cmul(z + 2 * k, low, odd + 2 * k);
        cmul(z + 2 * (M - 1 - k), high, odd + 2 * (M - 1 - k));
    }
    float v[2 * M];
    if constexpr (M == 1764)
        fft_detail::dft_1764(z, v, 2, 2, false);
    else
        fft_detail::dft_112(z, v, 2, 2);
    for (int i = 0; i < M; ++i) {
        float p[2];
        cmul(p, v + 2 * i, t.i2 + 2 * i);
        const float w = t.window[i];
        y[2 * i] = p[0] * w;
        y[2 * i + 1] = p[1] * w;
    }
}

void forward_long(const float* x, float* a, float* b) {
    forward<1764>(long_tables(), x, a, b);
}

void inverse_long(const float* a, const float* b, float* y) {
    inverse<1764>(long_tables(), a, b, y);
}

}  // namespace

const CpuVariants<void(const float*, float*, float*)> mdcst_forward_long =
    cpu_variants_of<forward_long>;
const CpuVariants<void(const float*, const float*, float*)> mdcst_inverse_long =
    cpu_variants_of<inverse_long>;

void mdcst_separate_n(const float* v, float* a, float* b, int m) {
    const int n = m / 2;
    for (int i = 0; i < n; ++i) {
        const float* p = v + 2 * i;            // V
        const float* q = v + 2 * (m - 1 - i);  // W
        // b = −(V + conj W)/2, a = (V − conj W)/(2j)
        const float br = -(p[0] + q[0]) / 2.0f;
        const float bi = (q[1] - p[1]) / 2.0f;
        const float ar = (p[1] + q[1]) / 2.0f;
        const float ai = (q[0] - p[0]) / 2.0f;
        b[2 * i] = br;
        b[2 * i + 1] = bi;
        a[2 * i] = ar;
        a[2 * i + 1] = ai;
    }
}

void stereo_mdcst_1764(const float* x, float* a, float* b) {
    fft_require_tables("stereo_mdcst_1764");
    mdcst_forward_long(x, a, b);
}

void stereo_imdcst_1764(const float* a, const float* b, float* y) {
    fft_require_tables("stereo_imdcst_1764");
    mdcst_inverse_long(a, b, y);
}

void stereo_mdcst_112(const float* x, float* a, float* b) {
    fft_require_tables("stereo_mdcst_112");
    forward<112>(short_tables(), x, a, b);
}

void stereo_imdcst_112(const float* a, const float* b, float* y) {
    fft_require_tables("stereo_imdcst_112");
    inverse<112>(short_tables(), a, b, y);
}

}  // namespace x91
