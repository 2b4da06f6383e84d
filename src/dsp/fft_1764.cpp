// The 1764-point DFT between interleaved complex arrays: the passes of
// fft_1764_passes.h between a load into split planes and a store out of them.
#include <cstddef>

#include "dsp/cpu_variants.h"
#include "dsp/fft.h"
#include "dsp/fft_1764_passes.h"
#include "dsp/fft_internal.h"

namespace x91 {

namespace fft_detail {

namespace {

using std::ptrdiff_t;

constexpr int N = 1764;

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
        for_lane_groups<N>([&](int n) {
            f32x8 re, im;
            load_complex8(in + 2 * n, re, im);
            store8(p.re + n, re);
            store8(p.im + n, im);
        });
    } else {
        for (int n = 0; n < N; ++n) {
            p.re[n] = in[a * n];
            p.im[n] = in[a * n + 1];
        }
    }
}

X91_PASS void store_planes(const Planes& p, float* out, ptrdiff_t b) {
    if (b == 2) {
        for_lane_groups<N>(
            [&](int k) { store_complex8(out + 2 * k, load8(p.re + k), load8(p.im + k)); });
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
    load_planes(in, a, inverse, p);
    dft_1764_planes(p, q);
    store_planes(q, out, b);
}

}  // namespace

const CpuVariants<void(const float*, float*, ptrdiff_t, ptrdiff_t, bool)> dft_1764 =
    cpu_variants_of<dft_1764_body>;

}  // namespace fft_detail

}  // namespace x91
