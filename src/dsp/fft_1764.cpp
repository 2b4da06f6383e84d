// The 1764-point kernel (4 · 9 · 49 = 4 · (3·3) · (7·7)) as five flat passes over
// split real/imaginary planes. Each pass applies one radix to many independent
// columns at once, with the columns contiguous in memory so the compiler can
// run them in SIMD lanes. Every output is computed by exactly the float
// operations of the nested kernels (same butterflies, same twiddle products,
// same order), so results are bit-identical to dft_4 ∘ dft_441; only the
// schedule and the memory layout differ.
//
// Index map, n = input index, k = output index:
//   n = i + 441·m,  i = i2 + 49·(i3 + 3·m3),  i2 = i4 + 7·m4
//   k = L + 36·(j4 + 7·k4) with L = j + 4·j2 and j2 = j3 + 3·k3
// Passes: radix 4 over m (lanes i), radix 3 over m3 then over i3 (lanes i2),
// a transpose that makes L the lane index, radix 7 over m4 then over i4 (lanes L).
// The result is interleaved into the output only at the end.
#include <cstddef>

#include "dsp/cpu_variants.h"
#include "dsp/fft.h"
#include "dsp/fft_internal.h"

namespace x91 {

namespace fft_detail {

namespace {

using std::ptrdiff_t;

constexpr int N = 1764;

// Radix-3 and radix-7 butterflies on one lane of split planes. `load(m, r, i)`
// fetches input m, `store(k, r, i)` receives output k; the arithmetic mirrors
// dft_3 and dft_7 operation for operation.
template <class Load, class Store>
X91_PASS void radix3(const float wr, const float wi, Load load, Store store) {
    float x0r, x0i, x1r, x1i, x2r, x2i;
    load(0, x0r, x0i);
    load(1, x1r, x1i);
    load(2, x2r, x2i);
    const float sr = x1r + x2r, si = x1i + x2i;
    const float dr = x1r - x2r, di = x1i - x2i;
    const float tr = -di, ti = dr;
    const float ur = x0r + sr * wr, ui = x0i + si * wr;
    const float vr = x0r + tr * wi, vi = x0i + ti * wi;
    store(0, x0r + sr, x0i + si);
    store(1, ur + vr - x0r, ui + vi - x0i);
    store(2, ur - vr + x0r, ui - vi + x0i);
}

struct Radix7Factors {
    float wr[4][4], wi[4][4];  // [e][m] = W_7^(e·m), e, m in 1..3
};

template <class Load, class Store>
X91_PASS void radix7(const Radix7Factors& w, Load load, Store store) {
    float xr[7], xi[7];
    for (int m = 0; m < 7; ++m) load(m, xr[m], xi[m]);
    float sr[4], si[4], tr[4], ti[4];
    for (int m = 1; m <= 3; ++m) {
        sr[m] = xr[m] + xr[7 - m];
        si[m] = xi[m] + xi[7 - m];
        const float dr = xr[m] - xr[7 - m];
        const float di = xi[m] - xi[7 - m];
        tr[m] = -di;
        ti[m] = dr;
    }
    store(0, xr[0] + sr[1] + sr[2] + sr[3], xi[0] + si[1] + si[2] + si[3]);
    for (int e = 1; e <= 3; ++e) {
        float ur = xr[0], ui = xi[0], vr = xr[0], vi = xi[0];
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

// Product with a twiddle, rounded as cmul.
X91_PASS void twiddle(float& r, float& i, float xr, float xi, float wr, float wi) {
    r = xr * wr - xi * wi;
    i = xr * wi + xi * wr;
}

struct alignas(64) Planes {
    float re[N];
    float im[N];
};

// Radix 4 over m for the 441 columns i, then the W_1764^(i·j) twiddles.
X91_PASS void pass_radix4(const Planes& x, Planes& y, const Twiddles& tw) {
    const float* __restrict xr = x.re;
    const float* __restrict xi = x.im;
    float* __restrict yr = y.re;
    float* __restrict yi = y.im;
    const float* __restrict wr = tw.w1764_re.data();
    const float* __restrict wi = tw.w1764_im.data();
    for (int i = 0; i < 441; ++i) {
        const float x0r = xr[i], x0i = xi[i];
        const float x1r = xr[i + 441], x1i = xi[i + 441];
        const float x2r = xr[i + 882], x2i = xi[i + 882];
        const float x3r = xr[i + 1323], x3i = xi[i + 1323];
        const float s02r = x0r + x2r, s02i = x0i + x2i;
        const float d02r = x0r - x2r, d02i = x0i - x2i;
        const float s13r = x1r + x3r, s13i = x1i + x3i;
        const float r13r = x1i - x3i, r13i = x3r - x1r;
        twiddle(yr[i], yi[i], s02r + s13r, s02i + s13i, wr[i], wi[i]);
        twiddle(yr[i + 441], yi[i + 441], d02r + r13r, d02i + r13i, wr[i + 441], wi[i + 441]);
        twiddle(yr[i + 882], yi[i + 882], s02r - s13r, s02i - s13i, wr[i + 882], wi[i + 882]);
        twiddle(yr[i + 1323], yi[i + 1323], d02r - r13r, d02i - r13i, wr[i + 1323], wi[i + 1323]);
    }
}

// First radix-3 stage of each 9-point column transform: radix 3 over m3 for
// each (j, i3), lanes i2, then W_9^(i3·j3).
X91_PASS void pass_radix3_first(const Planes& x, Planes& y) {
    const float w3r = circle_i_3[2], w3i = circle_i_3[3];
    for (int j = 0; j < 4; ++j)
        for (int i3 = 0; i3 < 3; ++i3) {
            const int in0 = j * 441 + 49 * i3;
            const int out0 = j * 441 + 49 * i3;  // slot 3·j3 + i3 of row j
            float t9r[3], t9i[3];
            for (int j3 = 0; j3 < 3; ++j3) {
                t9r[j3] = circle_i_9[2 * ((i3 * j3) % 9)];
                t9i[j3] = circle_i_9[2 * ((i3 * j3) % 9) + 1];
            }
            const float* __restrict xr = x.re + in0;
            const float* __restrict xi = x.im + in0;
            float* __restrict yr = y.re + out0;
            float* __restrict yi = y.im + out0;
            for (int l = 0; l < 49; ++l)
                radix3(
                    w3r, w3i,
                    [&](int m, float& r, float& i) {
                        r = xr[147 * m + l];
                        i = xi[147 * m + l];
                    },
                    [&](int k, float r, float i) {
                        twiddle(yr[147 * k + l], yi[147 * k + l], r, i, t9r[k], t9i[k]);
                    });
        }
}

// Second radix-3 stage: radix 3 over i3 for each (j, j3), lanes i2, then the
// W_441^(i2·j2) twiddles.
X91_PASS void pass_radix3_second(const Planes& x, Planes& y, const Twiddles& tw) {
    const float w3r = circle_i_3[2], w3i = circle_i_3[3];
    for (int j = 0; j < 4; ++j)
        for (int j3 = 0; j3 < 3; ++j3) {
            const float* __restrict xr = x.re + j * 441 + 147 * j3;
            const float* __restrict xi = x.im + j * 441 + 147 * j3;
            float* __restrict yr = y.re + j * 441 + 49 * j3;
            float* __restrict yi = y.im + j * 441 + 49 * j3;
            const float* __restrict wr = tw.w441_re.data() + 49 * j3;
            const float* __restrict wi = tw.w441_im.data() + 49 * j3;
            for (int l = 0; l < 49; ++l)
                radix3(
                    w3r, w3i,
                    [&](int m, float& r, float& i) {
                        r = xr[49 * m + l];
                        i = xi[49 * m + l];
                    },
                    [&](int k, float r, float i) {
                        // j2 = j3 + 3·k
                        twiddle(yr[147 * k + l], yi[147 * k + l], r, i, wr[147 * k + l],
                                wi[147 * k + l]);
                    });
        }
}

// Rows (j, j2) of 49 values become columns: the 36 rows L = j + 4·j2 end up
// side by side, which is also their order in the output.
X91_PASS void pass_transpose(const Planes& x, Planes& y) {
    for (int i2 = 0; i2 < 49; ++i2)
        for (int j2 = 0; j2 < 9; ++j2)
            for (int j = 0; j < 4; ++j) {
                y.re[i2 * 36 + j + 4 * j2] = x.re[j * 441 + j2 * 49 + i2];
                y.im[i2 * 36 + j + 4 * j2] = x.im[j * 441 + j2 * 49 + i2];
            }
}

X91_PASS Radix7Factors radix7_factors() {
    Radix7Factors w{};
    for (int e = 1; e <= 3; ++e)
        for (int m = 1; m <= 3; ++m) {
            w.wr[e][m] = circle_i_7[2 * ((e * m) % 7)];
            w.wi[e][m] = circle_i_7[2 * ((e * m) % 7) + 1];
        }
    return w;
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
        const float* __restrict xr = x.re + 36 * i4;
        const float* __restrict xi = x.im + 36 * i4;
        float* __restrict yr = y.re + 36 * i4;
        float* __restrict yi = y.im + 36 * i4;
        for (int l = 0; l < 36; ++l)
            radix7(
                w7,
                [&](int m, float& r, float& i) {
                    r = xr[252 * m + l];
                    i = xi[252 * m + l];
                },
                [&](int k, float r, float i) {
                    twiddle(yr[252 * k + l], yi[252 * k + l], r, i, t49r[k], t49i[k]);
                });
    }
}

// Last stage: radix 7 over i4 for each j4, lanes L; the planes then hold the
// outputs in natural order.
X91_PASS void pass_radix7_last(const Planes& x, Planes& y, const Radix7Factors& w7) {
    for (int j4 = 0; j4 < 7; ++j4) {
        const float* __restrict xr = x.re + 252 * j4;
        const float* __restrict xi = x.im + 252 * j4;
        float* __restrict yr = y.re + 36 * j4;
        float* __restrict yi = y.im + 36 * j4;
        for (int l = 0; l < 36; ++l)
            radix7(
                w7,
                [&](int m, float& r, float& i) {
                    r = xr[36 * m + l];
                    i = xi[36 * m + l];
                },
                [&](int k, float r, float i) {
                    yr[252 * k + l] = r;
                    yi[252 * k + l] = i;
                });
    }
}

X91_PASS void load_planes(const float* in, ptrdiff_t a, bool inverse, Planes& p) {
    if (inverse) {
        // Reversed index order and 1/N turn the kernel into the inverse transform.
        const float scale = 1.0f / 1764.0f;
        p.re[0] = in[0] * scale;
        p.im[0] = in[1] * scale;
        for (int i = 1; i < N; ++i) {
            const float* src = in + a * (N - i);
            p.re[i] = src[0] * scale;
            p.im[i] = src[1] * scale;
        }
    } else if (a == 2) {
        for (int n = 0; n < N; ++n) {
            p.re[n] = in[2 * n];
            p.im[n] = in[2 * n + 1];
        }
    } else {
        for (int n = 0; n < N; ++n) {
            p.re[n] = in[a * n];
            p.im[n] = in[a * n + 1];
        }
    }
}

X91_PASS void store_planes(const Planes& p, float* out, ptrdiff_t b) {
    if (b == 2) {
        for (int k = 0; k < N; ++k) {
            out[2 * k] = p.re[k];
            out[2 * k + 1] = p.im[k];
        }
    } else {
        for (int k = 0; k < N; ++k) {
            out[b * k] = p.re[k];
            out[b * k + 1] = p.im[k];
        }
    }
}

// The passes are inlined into one function, built for each CPU level.
void dft_1764_body(const float* in, float* out, ptrdiff_t a, ptrdiff_t b, bool inverse) {
    Planes p, q;
    const Twiddles& tw = *twiddles;
    const Radix7Factors w7 = radix7_factors();
    load_planes(in, a, inverse, p);
    pass_radix4(p, q, tw);
    pass_radix3_first(q, p);
    pass_radix3_second(p, q, tw);
    pass_transpose(q, p);
    pass_radix7_first(p, q, w7);
    pass_radix7_last(q, p, w7);
    store_planes(p, out, b);
}

}  // namespace

const CpuVariants<void(const float*, float*, ptrdiff_t, ptrdiff_t, bool)> dft_1764 =
    cpu_variants_of<dft_1764_body>;

}  // namespace fft_detail

}  // namespace x91
