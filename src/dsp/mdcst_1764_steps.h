// The steps of the long-frame MDCST pair (M = 1764, N = 882 lines) around
// the 1764-point passes, in split planes from end to end: the twiddles before
// and after the transform read and write the planes directly, eight lines to
// a vector, so nothing is copied between interleaved and split layouts but
// the interleaved inputs and outputs themselves. Each value takes the
// operations of the generic transform (mdcst.cpp) in the same order.
#pragma once

#include "dsp/fft_1764_passes.h"
#include "dsp/fft_internal.h"

namespace x91 {

namespace mdcst_1764 {

using namespace fft_detail;

constexpr int M = 1764;
constexpr int N = M / 2;

// Complex product, rounded as cmul.
X91_PASS void cmul8(f32x8& r, f32x8& i, f32x8 xr, f32x8 xi, f32x8 wr, f32x8 wi) {
    r = xr * wr - xi * wi;
    i = xr * wi + xi * wr;
}

// The windowed, F2-twiddled frame, 1/M-scaled in reversed index order, which
// makes the unscaled kernel the inverse transform: p[q] = u[(M − q) mod M]/M.
X91_PASS void forward_input(const float* x, const MdcstLongPlanes& t, Planes& p) {
    const float scale = 1.0f / 1764.0f;
    auto one = [&](int q, f32x8 xr, f32x8 xi) {
        const f32x8 w = load8(t.window_reversed.data() + q);
        f32x8 ur, ui;
        cmul8(ur, ui, xr * w, xi * w, load8(t.f2_reversed.re.data() + q),
              load8(t.f2_reversed.im.data() + q));
        store8(p.re + q, ur * scale);
        store8(p.im + q, ui * scale);
    };
    // Positions 1 .. M − 1 read samples M − 1 down to 1, eight at a time.
    for_lane_groups<M - 1>([&](int l) {
        const int q = 1 + l;
        f32x8 xr, xi;
        load_complex8(x + 2 * (M - q - 7), xr, xi);
        one(q, reversed8(xr), reversed8(xi));
    });
    const float w = t.window_reversed[0];
    const float p0 = x[0] * w, p1 = x[1] * w;
    const float fr = t.f2_reversed.re[0], fi = t.f2_reversed.im[0];
    p.re[0] = (p0 * fr - p1 * fi) * scale;
    p.im[0] = (p0 * fi + p1 * fr) * scale;
}

// The odd twiddles, the separation of the two channels' lines (lines k and
// M − 1 − k) and the line twiddles, in one pass over the spectrum s.
X91_PASS void forward_output(const Planes& s, const MdcstLongPlanes& t, float* a, float* b) {
    for_lane_groups<N>([&](int k) {
        f32x8 vr, vi, wr, wi;
        cmul8(vr, vi, load8(s.re + k), load8(s.im + k), load8(t.odd_f_low.re.data() + k),
              load8(t.odd_f_low.im.data() + k));
        cmul8(wr, wi, reversed8(load8(s.re + M - 8 - k)), reversed8(load8(s.im + M - 8 - k)),
              load8(t.odd_f_high.re.data() + k), load8(t.odd_f_high.im.data() + k));
        // b = −(V + conj W)/2, a = (V − conj W)/(2j)
        const f32x8 br = -(vr + wr) / 2.0f;
        const f32x8 bi = (wi - vi) / 2.0f;
        const f32x8 ar = (vi + wi) / 2.0f;
        const f32x8 ai = (wr - vr) / 2.0f;
        const f32x8 lr = load8(t.line_i.re.data() + k), li = load8(t.line_i.im.data() + k);
        f32x8 outr, outi;
        cmul8(outr, outi, ar, ai, lr, li);
        store_complex8(a + 2 * k, outr, outi);
        cmul8(outr, outi, br, bi, lr, li);
        store_complex8(b + 2 * k, outr, outi);
    });
}

// Lines k .. k + 7 of a spectrum whose lines from `lines` on are not stored
// and count as 0, split into lanes: the zeros are the ones a zero-filled copy
// would give, so every later operation sees the same values.
X91_PASS void load_lines8(const float* s, int k, int lines, f32x8& re, f32x8& im) {
    if (k + 8 <= lines) {
        load_complex8(s + 2 * k, re, im);
        return;
    }
    if (k >= lines) {
        re = f32x8{};
        im = f32x8{};
        return;
    }
    float part[16] = {};
    for (int i = 0; i < lines - k; ++i) {
        part[2 * i] = s[2 * (k + i)];
        part[2 * i + 1] = s[2 * (k + i) + 1];
    }
    load_complex8(part, re, im);
}

// The line twiddles, the combination of lines k .. k + 7 of a and b into
// Z[k] and Z[M − 1 − k], and the odd twiddles.
X91_PASS void inverse_input8(int k, f32x8 ar, f32x8 ai, f32x8 br, f32x8 bi,
                             const MdcstLongPlanes& t, Planes& z) {
    const f32x8 lr = load8(t.line_f.re.data() + k), li = load8(t.line_f.im.data() + k);
    f32x8 atr, ati, btr, bti;
    cmul8(atr, ati, ar, ai, lr, li);
    cmul8(btr, bti, br, bi, lr, li);
    // Z[k] = j·a − b, Z[M−1−k] = −conj(j·a + b)
    f32x8 zr, zi;
    cmul8(zr, zi, -btr - ati, atr - bti, load8(t.odd_i_low.re.data() + k),
          load8(t.odd_i_low.im.data() + k));
    store8(z.re + k, zr);
    store8(z.im + k, zi);
    cmul8(zr, zi, ati - btr, atr + bti, load8(t.odd_i_high.re.data() + k),
          load8(t.odd_i_high.im.data() + k));
    store8(z.re + M - 8 - k, reversed8(zr));
    store8(z.im + M - 8 - k, reversed8(zi));
}

// inverse_input8 over all lines in one pass. Only the first `lines` lines of
// a and b are read, the others count as 0: the groups wholly inside them
// load directly, the rest through load_lines8; the last group overlaps the
// one before it, as in for_lane_groups.
X91_PASS void inverse_input(const float* a, const float* b, const MdcstLongPlanes& t, Planes& z,
                            int lines = N) {
    const auto group = [&](int k) {
        f32x8 ar, ai, br, bi;
        load_lines8(a, k, lines, ar, ai);
        load_lines8(b, k, lines, br, bi);
        inverse_input8(k, ar, ai, br, bi, t, z);
    };
    int k = 0;
    for (; k + 8 <= lines && k + 8 <= N; k += 8) {
        f32x8 ar, ai, br, bi;
        load_complex8(a + 2 * k, ar, ai);
        load_complex8(b + 2 * k, br, bi);
        inverse_input8(k, ar, ai, br, bi, t, z);
    }
    for (; k + 8 <= N; k += 8) group(k);
    static_assert(N % 8 != 0);
    group(N - 8);
}

// Frame values i .. i + 7 of the inverse transform from its planes v: the
// I2 twiddles and the window; the left samples in `left`, the right in `right`.
X91_PASS void inverse_values8(const Planes& v, const MdcstLongPlanes& t, int i, f32x8& left,
                              f32x8& right) {
    f32x8 pr, pi;
    cmul8(pr, pi, load8(v.re + i), load8(v.im + i), load8(t.i2.re.data() + i),
          load8(t.i2.im.data() + i));
    const f32x8 w = load8(window_1764 + i);
    left = pr * w;
    right = pi * w;
}

}  // namespace mdcst_1764

}  // namespace x91
