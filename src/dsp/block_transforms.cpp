#include "dsp/block_transforms.h"

#include <cmath>

#include "dsp/cpu_variants.h"
#include "dsp/fft.h"
#include "dsp/fft_internal.h"
#include "dsp/fft_lanes.h"
#include "dsp/mdcst.h"
#include "dsp/numeric.h"

namespace x91 {

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

namespace {

using fft_detail::cmul_lanes;
using fft_detail::f32x8;
constexpr int kLanes = 8;
constexpr int kM = 112;  // short frame
constexpr int kN = 56;   // its lines, and the block length

// hvst56 for eight pairs in lanes: the window division, the forward short
// MDCST (its input pass, the reversed and scaled FFT input, the FFT, the odd
// twiddles, the split into lines and the line twiddles) and the gain, each
// step as in the one-pair code.
void hvst56_lanes(const f32x8* a, const f32x8* b, f32x8* ta, f32x8* tb) {
    const float g = dst_gain();
    const float* window = window_112;
    const fft_detail::MdcstTwiddles& tw = fft_detail::mdcst_tables->short_frame;
    f32x8 z[2 * kM] = {};
    for (int i = 0; i < kN; ++i) {
        const float w = window[28 + i];
        z[2 * (28 + i)] = a[i] / w;
        z[2 * (28 + i) + 1] = b[i] / w;
    }
    f32x8 u[2 * kM];
    for (int i = 0; i < kM; ++i) {
        const float w = window[i];
        const f32x8 p[2] = {z[2 * i] * w, z[2 * i + 1] * w};
        cmul_lanes(u + 2 * i, p, circle_f_224 + 2 * i);
    }
    const float scale = 1.0f / 112.0f;
    f32x8 reversed[2 * kM];
    for (int i = 0; i < kM; ++i) {
        const f32x8* src = u + 2 * ((kM - i) % kM);
        reversed[2 * i] = src[0] * scale;
        reversed[2 * i + 1] = src[1] * scale;
    }
    f32x8 spectrum[2 * kM];
    fft_detail::dft_112_lanes(reversed, spectrum, 2, 2);
    const float* odd = tw.odd_f.data();
    for (int k = 0; k < kM; ++k) cmul_lanes(spectrum + 2 * k, spectrum + 2 * k, odd + 2 * k);
    const float* line = tw.line_i.data();
    for (int i = 0; i < kN; ++i) {
        const f32x8* p = spectrum + 2 * i;
        const f32x8* q = spectrum + 2 * (kM - 1 - i);
        const f32x8 sa[2] = {(p[1] + q[1]) / 2.0f, (q[0] - p[0]) / 2.0f};
        const f32x8 sb[2] = {-(p[0] + q[0]) / 2.0f, (q[1] - p[1]) / 2.0f};
        f32x8 la[2], lb[2];
        cmul_lanes(la, sa, line + 2 * i);
        cmul_lanes(lb, sb, line + 2 * i);
        ta[i] = 2.0f * la[0] * g;
        tb[i] = 2.0f * lb[0] * g;
    }
}

// ihvst56 for eight pairs in lanes: the inverse short MDCST of (t, 0) lines
// (line twiddles, combination, odd twiddles, FFT, output twiddles, window)
// and the division by window times gain, each step as in the one-pair code.
void ihvst56_lanes(const f32x8* ta, const f32x8* tb, f32x8* a, f32x8* b) {
    const float g = dst_gain();
    const float* window = window_112;
    const fft_detail::MdcstTwiddles& tw = fft_detail::mdcst_tables->short_frame;
    const float* line = tw.line_f.data();
    f32x8 z[2 * kM];
    for (int i = 0; i < kN; ++i) {
        const f32x8 zero = {};
        const f32x8 pa[2] = {ta[i], zero};
        const f32x8 pb[2] = {tb[i], zero};
        f32x8 at[2], bt[2];
        cmul_lanes(at, pa, line + 2 * i);
        cmul_lanes(bt, pb, line + 2 * i);
        // Z[i] = j·a − b, Z[M−1−i] = −conj(j·a + b)
        z[2 * i] = -bt[0] - at[1];
        z[2 * i + 1] = at[0] - bt[1];
        z[2 * (kM - 1 - i)] = at[1] - bt[0];
        z[2 * (kM - 1 - i) + 1] = at[0] + bt[1];
    }
    const float* odd = tw.odd_i.data();
    for (int k = 0; k < kM; ++k) cmul_lanes(z + 2 * k, z + 2 * k, odd + 2 * k);
    f32x8 v[2 * kM];
    fft_detail::dft_112_lanes(z, v, 2, 2);
    for (int i = 0; i < kN; ++i) {
        f32x8 p[2];
        cmul_lanes(p, v + 2 * (28 + i), circle_i_224 + 2 * (28 + i));
        const float w = window[28 + i];
        const float d = window[28 + i] * g;
        a[i] = (p[0] * w) / d;
        b[i] = (p[1] * w) / d;
    }
}

// Eight pairs at a time; lanes without a pair run on zeros and are dropped.
template <void (*kKernel)(const f32x8*, const f32x8*, f32x8*, f32x8*)>
void run_in_lanes(int count, const float* const* x, const float* const* y, float* const* tx,
                  float* const* ty) {
    for (int first = 0; first < count; first += kLanes) {
        const int used = count - first < kLanes ? count - first : kLanes;
        f32x8 in_x[kN] = {}, in_y[kN] = {};
        for (int lane = 0; lane < used; ++lane)
            for (int i = 0; i < kN; ++i) {
                in_x[i][lane] = x[first + lane][i];
                in_y[i][lane] = y[first + lane][i];
            }
        f32x8 out_x[kN], out_y[kN];
        kKernel(in_x, in_y, out_x, out_y);
        for (int lane = 0; lane < used; ++lane)
            for (int i = 0; i < kN; ++i) {
                tx[first + lane][i] = out_x[i][lane];
                ty[first + lane][i] = out_y[i][lane];
            }
    }
}

// The boundary rotation of 28 line pairs (i, 55 - i), forward or inverse.
// The block is copied first, so the result may overwrite it and both halves
// run as flat loops that vectorise; each line gets the same two products and
// the same sum or difference as pair by pair.
template <bool kInverse>
void rotate_block(const float* src, float* dst) {
    float in[56];
    for (int i = 0; i < 56; ++i) in[i] = src[i];
    const float* p = window_112 + 56;
    const float* s = window_112;
    for (int i = 0; i < 28; ++i)
        dst[i] = kInverse ? p[i] * in[i] - s[i] * in[55 - i] : p[i] * in[i] + s[i] * in[55 - i];
    for (int i = 0; i < 28; ++i)
        dst[55 - i] =
            kInverse ? s[i] * in[i] + p[i] * in[55 - i] : p[i] * in[55 - i] - s[i] * in[i];
}

}  // namespace

const CpuVariants<void(int, const float* const*, const float* const*, float* const*, float* const*)>
    hvst56_batch = cpu_variants_of<run_in_lanes<hvst56_lanes>>;
const CpuVariants<void(int, const float* const*, const float* const*, float* const*, float* const*)>
    ihvst56_batch = cpu_variants_of<run_in_lanes<ihvst56_lanes>>;
const CpuVariants<void(const float*, float*)> overlap56_rotation =
    cpu_variants_of<rotate_block<false>>;
const CpuVariants<void(const float*, float*)> ioverlap56_rotation =
    cpu_variants_of<rotate_block<true>>;

void hvst56_many(int count, const float* const* a, const float* const* b, float* const* ta,
                 float* const* tb) {
    fft_require_tables("hvst56_many");
    hvst56_batch(count, a, b, ta, tb);
}

void ihvst56_many(int count, const float* const* ta, const float* const* tb, float* const* a,
                  float* const* b) {
    fft_require_tables("ihvst56_many");
    ihvst56_batch(count, ta, tb, a, b);
}

void overlap56(const float* src, float* dst) {
    fft_require_tables("overlap56");
    overlap56_rotation(src, dst);
}

void ioverlap56(const float* src, float* dst) {
    fft_require_tables("ioverlap56");
    ioverlap56_rotation(src, dst);
}

}  // namespace x91
