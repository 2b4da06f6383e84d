// Private to the transforms: unchecked kernels and the derived twiddle layouts
// that the fast paths read sequentially.
#pragma once

#include <cstddef>
#include <vector>

#if defined(__GNUC__)
#define X91_PASS [[gnu::always_inline]] inline
#else
#define X91_PASS inline
#endif

namespace x91 {

namespace fft_detail {

// Twiddles of each composite kernel, copied from its circle table in the order
// the kernel consumes them, so every pass reads its factors front to back.
// The values are the circle entries themselves: results do not change.
struct Twiddles {
    // Interleaved complex, entry i·Q + j = W_N^((i·j) mod N) for N = P·Q.
    std::vector<float> seq9, seq16, seq49, seq112, seq441;
    // Split planes for the 1764-point pass structure (fft_1764.cpp):
    // w1764_*[j·441 + i] = W_1764^(i·j), w441_*[j·49 + i] = W_441^(i·j).
    std::vector<float> w1764_re, w1764_im, w441_re, w441_im;
};

// MDCST twiddles of one frame size M (N = M/2 lines), interleaved complex, in
// the order the transform steps through them: odd_*[k] = F4/I4[2k + 1] for
// k < M, line_*[k] = F4/I4[(M·k + N) mod 4M] for k < N.
struct MdcstTwiddles {
    std::vector<float> odd_f, odd_i, line_f, line_i;
};

struct MdcstTables {
    MdcstTwiddles long_frame, short_frame;  // M = 1764 and M = 112
};

extern const MdcstTables* mdcst_tables;

// Null outside da_fft_init .. da_fft_finit.
extern const Twiddles* twiddles;

// Unchecked kernels of the discrete Fourier transform, out[b·k] =
// Σₙ in[a·n]·e^(−j2πnk/N) unscaled (what the public ifft_N_dd compute);
// strides in floats (twice the complex stride).
void dft_3(const float* in, float* out, std::ptrdiff_t a, std::ptrdiff_t b);
void dft_4(const float* in, float* out, std::ptrdiff_t a, std::ptrdiff_t b);
void dft_7(const float* in, float* out, std::ptrdiff_t a, std::ptrdiff_t b);
void dft_9(const float* in, float* out, std::ptrdiff_t a, std::ptrdiff_t b);
void dft_16(const float* in, float* out, std::ptrdiff_t a, std::ptrdiff_t b);
void dft_49(const float* in, float* out, std::ptrdiff_t a, std::ptrdiff_t b);
void dft_112(const float* in, float* out, std::ptrdiff_t a, std::ptrdiff_t b);
void dft_441(const float* in, float* out, std::ptrdiff_t a, std::ptrdiff_t b);
// The 1764-point one, built for each CPU level, is in dsp/cpu_variants.h.

// Complex product with the rounding of c_equ_c_mul_c, inlined for the kernels.
inline void cmul(float* d, const float* x, const float* w) {
    const float re = x[0] * w[0] - x[1] * w[1];
    const float im = x[0] * w[1] + x[1] * w[0];
    d[0] = re;
    d[1] = im;
}

}  // namespace fft_detail

}  // namespace x91
