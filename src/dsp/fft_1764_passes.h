// The 1764-point DFT on split real/imaginary planes, for the kernels that feed
// it and read it in planes (fft_1764.cpp, mdcst_1764.cpp).
//
// The kernel (4 · 9 · 49 = 4 · (3·3) · (7·7)) runs as flat passes, each
// applying one radix to many independent columns at once, eight columns to a
// vector. Every output is computed by exactly the float operations of the
// nested kernels (same butterflies, same twiddle products, same order), so
// results are bit-identical to dft_4 ∘ dft_441; only the schedule and the
// memory layout differ.
//
// Index map, n = input index, k = output index:
//   n = i + 441·m,  i = i2 + 49·(i3 + 3·m3),  i2 = i4 + 7·m4
//   k = L + 36·(j4 + 7·k4) with L = j + 4·j2 and j2 = j3 + 3·k3
// Passes: radix 4 over m (lanes i), radix 3 over m3 then over i3 (lanes i2;
// the second one stores its results transposed, so that L becomes the lane
// index), radix 7 over m4 then over i4 (lanes L). The planes then hold the
// outputs in natural order.
#pragma once

#include "dsp/fft.h"
#include "dsp/fft_internal.h"
#include "dsp/fft_lanes.h"

namespace x91 {

namespace fft_detail {

struct alignas(64) Planes {
    float re[1764];
    float im[1764];
};

// Product with a twiddle, rounded as cmul; w may be one value for all lanes.
template <class W>
X91_PASS void twiddle(f32x8& r, f32x8& i, f32x8 xr, f32x8 xi, W wr, W wi) {
    r = xr * wr - xi * wi;
    i = xr * wi + xi * wr;
}

// Radix-3 and radix-7 butterflies on eight lanes of split planes.
// `load(m, r, i)` fetches input m, `store(k, r, i)` receives output k; the
// arithmetic mirrors dft_3 and dft_7 operation for operation.
template <class Load, class Store>
X91_PASS void radix3(const float wr, const float wi, Load load, Store store) {
    f32x8 x0r, x0i, x1r, x1i, x2r, x2i;
    load(0, x0r, x0i);
    load(1, x1r, x1i);
    load(2, x2r, x2i);
    const f32x8 sr = x1r + x2r, si = x1i + x2i;
    const f32x8 dr = x1r - x2r, di = x1i - x2i;
    const f32x8 tr = -di, ti = dr;
    const f32x8 ur = x0r + sr * wr, ui = x0i + si * wr;
    const f32x8 vr = x0r + tr * wi, vi = x0i + ti * wi;
    store(0, x0r + sr, x0i + si);
    store(1, ur + vr - x0r, ui + vi - x0i);
    store(2, ur - vr + x0r, ui - vi + x0i);
}

struct Radix7Factors {
    float wr[4][4], wi[4][4];  // [e][m] = W_7^(e·m), e, m in 1..3
};

X91_PASS Radix7Factors radix7_factors() {
    Radix7Factors w{};
    for (int e = 1; e <= 3; ++e)
        for (int m = 1; m <= 3; ++m) {
            w.wr[e][m] = circle_i_7[2 * ((e * m) % 7)];
            w.wi[e][m] = circle_i_7[2 * ((e * m) % 7) + 1];
        }
    return w;
}

template <class Load, class Store>
X91_PASS void radix7(const Radix7Factors& w, Load load, Store store) {
    f32x8 xr[7], xi[7];
    for (int m = 0; m < 7; ++m) load(m, xr[m], xi[m]);
    f32x8 sr[4], si[4], tr[4], ti[4];
    for (int m = 1; m <= 3; ++m) {
        sr[m] = xr[m] + xr[7 - m];
        si[m] = xi[m] + xi[7 - m];
        const f32x8 dr = xr[m] - xr[7 - m];
        const f32x8 di = xi[m] - xi[7 - m];
        tr[m] = -di;
        ti[m] = dr;
    }
    store(0, xr[0] + sr[1] + sr[2] + sr[3], xi[0] + si[1] + si[2] + si[3]);
    for (int e = 1; e <= 3; ++e) {
        f32x8 ur = xr[0], ui = xi[0], vr = xr[0], vi = xi[0];
        for (int m = 1; m <= 3; ++m) {
            ur += sr[m] * w.wr[e][m];
            ui += si[m] * w.wr[e][m];
            vr += tr[m] * w.wi[e][m];
            vi += ti[m] * w.wi[e][m];
        }
        store(e, ur + vr - xr[0], ui + vi - xi[0]);
        store(7 - e, ur - vr + xr[0], ui - vi + xi[0]);
    }
}

// Radix 4 over m for the 441 columns i, then the W_1764^(i·j) twiddles.
X91_PASS void pass_radix4(const Planes& x, Planes& y, const Twiddles& tw) {
    const float* wr = tw.w1764_re.data();
    const float* wi = tw.w1764_im.data();
    for_lane_groups<441>([&](int i) {
        const f32x8 x0r = load8(x.re + i), x0i = load8(x.im + i);
        const f32x8 x1r = load8(x.re + i + 441), x1i = load8(x.im + i + 441);
        const f32x8 x2r = load8(x.re + i + 882), x2i = load8(x.im + i + 882);
        const f32x8 x3r = load8(x.re + i + 1323), x3i = load8(x.im + i + 1323);
        const f32x8 s02r = x0r + x2r, s02i = x0i + x2i;
        const f32x8 d02r = x0r - x2r, d02i = x0i - x2i;
        const f32x8 s13r = x1r + x3r, s13i = x1i + x3i;
        const f32x8 r13r = x1i - x3i, r13i = x3r - x1r;
        const f32x8 outr[4] = {s02r + s13r, d02r + r13r, s02r - s13r, d02r - r13r};
        const f32x8 outi[4] = {s02i + s13i, d02i + r13i, s02i - s13i, d02i - r13i};
        for (int j = 0; j < 4; ++j) {
            const int at = i + 441 * j;
            f32x8 r, im;
            twiddle(r, im, outr[j], outi[j], load8(wr + at), load8(wi + at));
            store8(y.re + at, r);
            store8(y.im + at, im);
        }
    });
}

// First radix-3 stage of each 9-point column transform: radix 3 over m3 for
// each (j, i3), lanes i2, then W_9^(i3·j3).
X91_PASS void pass_radix3_first(const Planes& x, Planes& y) {
    const float w3r = circle_i_3[2], w3i = circle_i_3[3];
    for (int j = 0; j < 4; ++j)
        for (int i3 = 0; i3 < 3; ++i3) {
            const int at = j * 441 + 49 * i3;  // in: m3 at 147·m3; out: slot 3·j3 + i3 of row j
            float t9r[3], t9i[3];
            for (int j3 = 0; j3 < 3; ++j3) {
                t9r[j3] = circle_i_9[2 * ((i3 * j3) % 9)];
                t9i[j3] = circle_i_9[2 * ((i3 * j3) % 9) + 1];
            }
            for_lane_groups<49>([&](int l) {
                radix3(
                    w3r, w3i,
                    [&](int m, f32x8& r, f32x8& i) {
                        r = load8(x.re + at + 147 * m + l);
                        i = load8(x.im + at + 147 * m + l);
                    },
                    [&](int k, f32x8 r, f32x8 i) {
                        f32x8 tr, ti;
                        twiddle(tr, ti, r, i, t9r[k], t9i[k]);
                        store8(y.re + at + 147 * k + l, tr);
                        store8(y.im + at + 147 * k + l, ti);
                    });
            });
        }
}

// Stores four rows of eight (a, b, c, d: lanes i2 .. i2 + 7 of L, L + 1, L + 2,
// L + 3) as eight columns of four, at y[(i2 + t)·36 + L] for t < 8.
X91_PASS void store_transposed_4x8(float* y, f32x8 a, f32x8 b, f32x8 c, f32x8 d) {
    const f32x8 ab_lo = __builtin_shufflevector(a, b, 0, 8, 1, 9, 4, 12, 5, 13);
    const f32x8 ab_hi = __builtin_shufflevector(a, b, 2, 10, 3, 11, 6, 14, 7, 15);
    const f32x8 cd_lo = __builtin_shufflevector(c, d, 0, 8, 1, 9, 4, 12, 5, 13);
    const f32x8 cd_hi = __builtin_shufflevector(c, d, 2, 10, 3, 11, 6, 14, 7, 15);
    const f32x8 cols[4] = {
        __builtin_shufflevector(ab_lo, cd_lo, 0, 1, 8, 9, 4, 5, 12, 13),  // t = 0 and 4
        __builtin_shufflevector(ab_lo, cd_lo, 2, 3, 10, 11, 6, 7, 14, 15),
        __builtin_shufflevector(ab_hi, cd_hi, 0, 1, 8, 9, 4, 5, 12, 13),
        __builtin_shufflevector(ab_hi, cd_hi, 2, 3, 10, 11, 6, 7, 14, 15),
    };
    for (int t = 0; t < 4; ++t) {
        std::memcpy(y + 36 * t, &cols[t], 4 * sizeof(float));
        std::memcpy(y + 36 * (t + 4), reinterpret_cast<const float*>(&cols[t]) + 4,
                    4 * sizeof(float));
    }
}

// Second radix-3 stage: radix 3 over i3 for each (j, j3), lanes i2, then the
// W_441^(i2·j2) twiddles. The four rows j of each j2 are stored transposed:
// rows (j, j2) of 49 values become columns, the 36 rows L = j + 4·j2 side by
// side, which is also their order in the output.
X91_PASS void pass_radix3_second(const Planes& x, Planes& y, const Twiddles& tw) {
    const float w3r = circle_i_3[2], w3i = circle_i_3[3];
    for (int j3 = 0; j3 < 3; ++j3) {
        const float* wr = tw.w441_re.data() + 49 * j3;
        const float* wi = tw.w441_im.data() + 49 * j3;
        for_lane_groups<49>([&](int l) {
            f32x8 outr[3][4], outi[3][4];  // [k][j]
            for (int j = 0; j < 4; ++j) {
                const int at = j * 441 + 147 * j3 + l;
                radix3(
                    w3r, w3i,
                    [&](int m, f32x8& r, f32x8& i) {
                        r = load8(x.re + at + 49 * m);
                        i = load8(x.im + at + 49 * m);
                    },
                    [&](int k, f32x8 r, f32x8 i) {  // j2 = j3 + 3·k
                        twiddle(outr[k][j], outi[k][j], r, i, load8(wr + 147 * k + l),
                                load8(wi + 147 * k + l));
                    });
            }
            for (int k = 0; k < 3; ++k) {
                const int to = l * 36 + 4 * (j3 + 3 * k);
                store_transposed_4x8(y.re + to, outr[k][0], outr[k][1], outr[k][2], outr[k][3]);
                store_transposed_4x8(y.im + to, outi[k][0], outi[k][1], outi[k][2], outi[k][3]);
            }
        });
    }
}

// First radix-7 stage of each 49-point row transform: radix 7 over m4 for each
// i4, lanes L, then W_49^(i4·j4).
X91_PASS void pass_radix7_first(const Planes& x, Planes& y, const Radix7Factors& w7) {
    for (int i4 = 0; i4 < 7; ++i4) {
        float t49r[7], t49i[7];
        for (int j4 = 0; j4 < 7; ++j4) {
            t49r[j4] = circle_i_49[2 * ((i4 * j4) % 49)];
            t49i[j4] = circle_i_49[2 * ((i4 * j4) % 49) + 1];
        }
        const int at = 36 * i4;
        for_lane_groups<36>([&](int l) {
            radix7(
                w7,
                [&](int m, f32x8& r, f32x8& i) {
                    r = load8(x.re + at + 252 * m + l);
                    i = load8(x.im + at + 252 * m + l);
                },
                [&](int k, f32x8 r, f32x8 i) {
                    f32x8 tr, ti;
                    twiddle(tr, ti, r, i, t49r[k], t49i[k]);
                    store8(y.re + at + 252 * k + l, tr);
                    store8(y.im + at + 252 * k + l, ti);
                });
        });
    }
}

// Last stage: radix 7 over i4 for each j4, lanes L.
X91_PASS void pass_radix7_last(const Planes& x, Planes& y, const Radix7Factors& w7) {
    for (int j4 = 0; j4 < 7; ++j4) {
        for_lane_groups<36>([&](int l) {
            radix7(
                w7,
                [&](int m, f32x8& r, f32x8& i) {
                    r = load8(x.re + 252 * j4 + 36 * m + l);
                    i = load8(x.im + 252 * j4 + 36 * m + l);
                },
                [&](int k, f32x8 r, f32x8 i) {
                    store8(y.re + 36 * j4 + 252 * k + l, r);
                    store8(y.im + 36 * j4 + 252 * k + l, i);
                });
        });
    }
}

// The unscaled DFT of p, Σₙ p[n]·e^(−j2πnk/N), into q; p is overwritten.
X91_PASS void dft_1764_planes(Planes& p, Planes& q) {
    const Twiddles& tw = *twiddles;
    const Radix7Factors w7 = radix7_factors();
    pass_radix4(p, q, tw);
    pass_radix3_first(q, p);
    pass_radix3_second(p, q, tw);
    pass_radix7_first(q, p, w7);
    pass_radix7_last(p, q, w7);
}

}  // namespace fft_detail

}  // namespace x91
