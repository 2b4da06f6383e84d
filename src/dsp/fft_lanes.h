// The small FFT butterflies and the composite kernel as templates over the
// value type: float for one transform, or a vector of floats that runs one
// independent transform per lane.
//
// A vector type from the compiler's vector extension computes element by
// element with the same IEEE rounding as float, and without contraction into
// fused multiply-add (the build forbids it) every lane performs exactly the
// float operations of the scalar kernel in the same order. A batch of
// transforms therefore gives, bit for bit, the results of the transforms run
// one at a time.
#pragma once

#include <cstddef>

#include "dsp/fft.h"
#include "dsp/fft_internal.h"

namespace x91 {

namespace fft_detail {

// Eight floats, one per lane.
typedef float f32x8 __attribute__((vector_size(32)));

// Complex product by a table value (x · w, interleaved), rounded as cmul.
template <class T>
X91_PASS void cmul_lanes(T* d, const T* x, const float* w) {
    const T re = x[0] * w[0] - x[1] * w[1];
    const T im = x[0] * w[1] + x[1] * w[0];
    d[0] = re;
    d[1] = im;
}

// Strides a and b count values of T (twice the complex stride), as in the
// float kernels.
template <class T>
X91_PASS void dft_4_lanes(const T* in, T* out, std::ptrdiff_t a, std::ptrdiff_t b) {
    const T* x0 = in;
    const T* x1 = in + a;
    const T* x2 = in + 2 * a;
    const T* x3 = in + 3 * a;
    const T s02r = x0[0] + x2[0], s02i = x0[1] + x2[1];
    const T d02r = x0[0] - x2[0], d02i = x0[1] - x2[1];
    const T s13r = x1[0] + x3[0], s13i = x1[1] + x3[1];
    // −j·(x1 − x3)
    const T r13r = x1[1] - x3[1], r13i = x3[0] - x1[0];
    out[0] = s02r + s13r;
    out[1] = s02i + s13i;
    out[b] = d02r + r13r;
    out[b + 1] = d02i + r13i;
    out[2 * b] = s02r - s13r;
    out[2 * b + 1] = s02i - s13i;
    out[3 * b] = d02r - r13r;
    out[3 * b + 1] = d02i - r13i;
}

template <class T>
X91_PASS void dft_3_lanes(const T* in, T* out, std::ptrdiff_t a, std::ptrdiff_t b) {
    const T* x0 = in;
    const T* x1 = in + a;
    const T* x2 = in + 2 * a;
    const float wr = circle_i_3[2], wi = circle_i_3[3];
    const T sr = x1[0] + x2[0], si = x1[1] + x2[1];
    const T dr = x1[0] - x2[0], di = x1[1] - x2[1];
    const T tr = -di, ti = dr;  // t = j·(x1 − x2)
    const T ur = x0[0] + sr * wr, ui = x0[1] + si * wr;
    const T vr = x0[0] + tr * wi, vi = x0[1] + ti * wi;
    const T x0r = x0[0], x0i = x0[1];
    out[0] = x0r + sr;
    out[1] = x0i + si;
    out[b] = ur + vr - x0r;
    out[b + 1] = ui + vi - x0i;
    out[2 * b] = ur - vr + x0r;
    out[2 * b + 1] = ui - vi + x0i;
}

template <class T>
X91_PASS void dft_7_lanes(const T* in, T* out, std::ptrdiff_t a, std::ptrdiff_t b) {
    const float* w = circle_i_7;
    T x[14];
    for (int m = 0; m < 7; ++m) {
        x[2 * m] = in[m * a];
        x[2 * m + 1] = in[m * a + 1];
    }
    T sr[4], si[4], tr[4], ti[4];
    for (int m = 1; m <= 3; ++m) {
        sr[m] = x[2 * m] + x[2 * (7 - m)];
        si[m] = x[2 * m + 1] + x[2 * (7 - m) + 1];
        const T dr = x[2 * m] - x[2 * (7 - m)];
        const T di = x[2 * m + 1] - x[2 * (7 - m) + 1];
        tr[m] = -di;
        ti[m] = dr;
    }
    out[0] = x[0] + sr[1] + sr[2] + sr[3];
    out[1] = x[1] + si[1] + si[2] + si[3];
    for (int e = 1; e <= 3; ++e) {
        T ur = x[0], ui = x[1], vr = x[0], vi = x[1];
        for (int m = 1; m <= 3; ++m) {
            const float* we = w + 2 * ((e * m) % 7);
            ur += sr[m] * we[0];
            ui += si[m] * we[0];
            vr += tr[m] * we[1];
            vi += ti[m] * we[1];
        }
        out[e * b] = ur + vr - x[0];
        out[e * b + 1] = ui + vi - x[1];
        out[(7 - e) * b] = ur - vr + x[0];
        out[(7 - e) * b + 1] = ui - vi + x[1];
    }
}

// N = P·Q: P transforms of size Q over the decimated inputs, twiddles, then Q
// transforms of size P. `tw` holds W_N^(i·j) at entry i·Q + j.
template <int P, int Q, class T, void (*KQ)(const T*, T*, std::ptrdiff_t, std::ptrdiff_t),
          void (*KP)(const T*, T*, std::ptrdiff_t, std::ptrdiff_t)>
X91_PASS void composite_lanes(const T* in, T* out, std::ptrdiff_t a, std::ptrdiff_t b,
                              const float* tw) {
    T buf[2 * P * Q];
    T t[2 * Q];
    for (int i = 0; i < P; ++i) {
        KQ(in + a * i, t, a * P, 2);
        for (int j = 0; j < Q; ++j)
            cmul_lanes(buf + 2 * (j * P + i), t + 2 * j, tw + 2 * (i * Q + j));
    }
    for (int j = 0; j < Q; ++j) KP(buf + 2 * j * P, out + b * j, 2, b * Q);
}

template <class T>
X91_PASS void dft_16_lanes(const T* in, T* out, std::ptrdiff_t a, std::ptrdiff_t b) {
    composite_lanes<4, 4, T, dft_4_lanes<T>, dft_4_lanes<T>>(in, out, a, b, twiddles->seq16.data());
}

template <class T>
X91_PASS void dft_112_lanes(const T* in, T* out, std::ptrdiff_t a, std::ptrdiff_t b) {
    composite_lanes<16, 7, T, dft_7_lanes<T>, dft_16_lanes<T>>(in, out, a, b,
                                                               twiddles->seq112.data());
}

}  // namespace fft_detail

}  // namespace x91
