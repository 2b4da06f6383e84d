// Radix-3, -4 and -7 butterflies and the composite kernels built from them
// (decimation in time). Every kernel reads its whole input before writing, and
// each butterfly rounds every intermediate to float in a fixed order, so the
// fast 1764-point pass structure can reproduce these results bit for bit.
#include <cstddef>

#include "dsp/fft.h"
#include "dsp/fft_internal.h"

namespace fft_detail {

using std::ptrdiff_t;

void ifft_4(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    const float* x0 = in;
    const float* x1 = in + a;
    const float* x2 = in + 2 * a;
    const float* x3 = in + 3 * a;
    const float s02r = x0[0] + x2[0], s02i = x0[1] + x2[1];
    const float d02r = x0[0] - x2[0], d02i = x0[1] - x2[1];
    const float s13r = x1[0] + x3[0], s13i = x1[1] + x3[1];
    // −j·(x1 − x3)
    const float r13r = x1[1] - x3[1], r13i = x3[0] - x1[0];
    out[0] = s02r + s13r;
    out[1] = s02i + s13i;
    out[b] = d02r + r13r;
    out[b + 1] = d02i + r13i;
    out[2 * b] = s02r - s13r;
    out[2 * b + 1] = s02i - s13i;
    out[3 * b] = d02r - r13r;
    out[3 * b + 1] = d02i - r13i;
}

void ifft_3(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    const float* x0 = in;
    const float* x1 = in + a;
    const float* x2 = in + 2 * a;
    const float wr = circle_i_3[2], wi = circle_i_3[3];
    const float sr = x1[0] + x2[0], si = x1[1] + x2[1];
    const float dr = x1[0] - x2[0], di = x1[1] - x2[1];
    const float tr = -di, ti = dr;  // t = j·(x1 − x2)
    const float ur = x0[0] + sr * wr, ui = x0[1] + si * wr;
    const float vr = x0[0] + tr * wi, vi = x0[1] + ti * wi;
    const float x0r = x0[0], x0i = x0[1];
    out[0] = x0r + sr;
    out[1] = x0i + si;
    out[b] = ur + vr - x0r;
    out[b + 1] = ui + vi - x0i;
    out[2 * b] = ur - vr + x0r;
    out[2 * b + 1] = ui - vi + x0i;
}

void ifft_7(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    const float* w = circle_i_7;
    float x[14];
    for (int m = 0; m < 7; ++m) {
        x[2 * m] = in[m * a];
        x[2 * m + 1] = in[m * a + 1];
    }
    float sr[4], si[4], tr[4], ti[4];
    for (int m = 1; m <= 3; ++m) {
        sr[m] = x[2 * m] + x[2 * (7 - m)];
        si[m] = x[2 * m + 1] + x[2 * (7 - m) + 1];
        const float dr = x[2 * m] - x[2 * (7 - m)];
        const float di = x[2 * m + 1] - x[2 * (7 - m) + 1];
        tr[m] = -di;
        ti[m] = dr;
    }
    out[0] = x[0] + sr[1] + sr[2] + sr[3];
    out[1] = x[1] + si[1] + si[2] + si[3];
    for (int e = 1; e <= 3; ++e) {
        float ur = x[0], ui = x[1], vr = x[0], vi = x[1];
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

namespace {

using Kernel = void (*)(const float*, float*, ptrdiff_t, ptrdiff_t);

// N = P·Q: P transforms of size Q over the decimated inputs, twiddles, then Q
// transforms of size P. `tw` holds W_N^(i·j) at entry i·Q + j.
template <int P, int Q, Kernel KQ, Kernel KP>
inline void composite(const float* in, float* out, ptrdiff_t a, ptrdiff_t b, const float* tw) {
    float buf[2 * P * Q];
    float t[2 * Q];
    for (int i = 0; i < P; ++i) {
        KQ(in + a * i, t, a * P, 2);
        for (int j = 0; j < Q; ++j) cmul(buf + 2 * (j * P + i), t + 2 * j, tw + 2 * (i * Q + j));
    }
    for (int j = 0; j < Q; ++j) KP(buf + 2 * j * P, out + b * j, 2, b * Q);
}

}  // namespace

void ifft_9(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite<3, 3, ifft_3, ifft_3>(in, out, a, b, twiddles->seq9.data());
}
void ifft_16(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite<4, 4, ifft_4, ifft_4>(in, out, a, b, twiddles->seq16.data());
}
void ifft_49(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite<7, 7, ifft_7, ifft_7>(in, out, a, b, twiddles->seq49.data());
}
void ifft_112(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite<16, 7, ifft_7, ifft_16>(in, out, a, b, twiddles->seq112.data());
}
void ifft_441(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite<49, 9, ifft_9, ifft_49>(in, out, a, b, twiddles->seq441.data());
}

}  // namespace fft_detail

using namespace fft_detail;

void ifft_3_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_3_dd");
    ifft_3(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_4_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_4_dd");
    ifft_4(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_7_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_7_dd");
    ifft_7(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_9_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_9_dd");
    ifft_9(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_16_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_16_dd");
    ifft_16(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_49_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_49_dd");
    ifft_49(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_112_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_112_dd");
    ifft_112(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_441_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_441_dd");
    ifft_441(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_1764_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_1764_dd");
    ifft_1764(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b}, false);
}

void fft_1764_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("fft_1764_dd");
    ifft_1764(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b}, true);
}

void fft_112_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("fft_112_dd");
    // Taking the input in reversed index order turns the e^(−j…) kernel into
    // the e^(+j…) direction; the 1/N makes it the exact inverse of ifft_112_dd.
    constexpr int n = 112;
    const float scale = 1.0f / 112.0f;
    const ptrdiff_t fa = 2 * ptrdiff_t{a};
    float reversed[2 * n];
    for (int i = 0; i < n; ++i) {
        const float* src = in + fa * ((n - i) % n);
        reversed[2 * i] = src[0] * scale;
        reversed[2 * i + 1] = src[1] * scale;
    }
    ifft_112(reversed, out, 2, 2 * ptrdiff_t{b});
}
