// The float FFT kernels: radix-3, -4 and -7 butterflies and the composites
// built from them (decimation in time). Every kernel reads its whole input before writing, and
// each butterfly rounds every intermediate to float in a fixed order, so the
// fast 1764-point pass structure can reproduce these results bit for bit.
#include <cstddef>

#include "dsp/cpu_variants.h"
#include "dsp/fft.h"
#include "dsp/fft_internal.h"
#include "dsp/fft_lanes.h"

namespace x91 {

namespace fft_detail {

using std::ptrdiff_t;

// The butterflies live in fft_lanes.h, written once for floats and for
// batches of transforms in vector lanes.
void dft_4(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    dft_4_lanes(in, out, a, b);
}
void dft_3(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    dft_3_lanes(in, out, a, b);
}
void dft_7(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    dft_7_lanes(in, out, a, b);
}

void dft_9(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite_lanes<3, 3, float, dft_3, dft_3>(in, out, a, b, twiddles->seq9.data());
}
void dft_16(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite_lanes<4, 4, float, dft_4, dft_4>(in, out, a, b, twiddles->seq16.data());
}
void dft_49(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite_lanes<7, 7, float, dft_7, dft_7>(in, out, a, b, twiddles->seq49.data());
}
void dft_112(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite_lanes<16, 7, float, dft_7, dft_16>(in, out, a, b, twiddles->seq112.data());
}
void dft_441(const float* in, float* out, ptrdiff_t a, ptrdiff_t b) {
    composite_lanes<49, 9, float, dft_9, dft_49>(in, out, a, b, twiddles->seq441.data());
}

}  // namespace fft_detail

using namespace fft_detail;

void ifft_3_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_3_dd");
    dft_3(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_4_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_4_dd");
    dft_4(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_7_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_7_dd");
    dft_7(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_9_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_9_dd");
    dft_9(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_16_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_16_dd");
    dft_16(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_49_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_49_dd");
    dft_49(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_112_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_112_dd");
    dft_112(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_441_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_441_dd");
    dft_441(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b});
}
void ifft_1764_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("ifft_1764_dd");
    dft_1764(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b}, false);
}

void fft_1764_dd(const float* in, float* out, int a, int b) {
    fft_require_tables("fft_1764_dd");
    dft_1764(in, out, 2 * ptrdiff_t{a}, 2 * ptrdiff_t{b}, true);
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
    dft_112(reversed, out, 2, 2 * ptrdiff_t{b});
}

}  // namespace x91
