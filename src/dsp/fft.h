// Exact-length complex DFTs for the codec's frame sizes (1764 = 2²·3²·7², 112 = 2⁴·7)
// and the process-wide tables of roots of unity and windows they run on.
//
// Direction convention of these entry points, named as the codec always has:
// ifft_* computes X[k] = Σ x[n]·e^(−j2πnk/N) unscaled, what most texts call
// the forward DFT; fft_* computes (1/N)·Σ x[n]·e^(+j2πnk/N), the inverse.
// Each is the exact inverse of the other. (Inside, the kernels are named for
// what they compute: dft_N.) Complex values are interleaved float pairs;
// strides and lengths count complex values.
#pragma once

namespace x91 {

// --- tables ---------------------------------------------------------------------
// Built by da_fft_init, released by da_fft_finit, read only in between and
// shared by every thread. They are null outside that interval, and every
// transform entry point refuses to run (message on stderr, abort) while they are.
//
// A circle table of length n holds e^(j·s·2π·i/n): `_i_` tables have s = −1,
// `_f_` tables s = +1.
extern const float* c_zero;  // one complex 0
extern const float* circle_i_3;
extern const float* circle_i_7;
extern const float* circle_i_9;
extern const float* circle_i_49;
extern const float* circle_i_441;
extern const float* circle_i_1764;
extern const float* circle_f_3528;
extern const float* circle_i_3528;
extern const float* circle_f_7056;
extern const float* circle_i_7056;
extern const float* window_1764;  // 1764 floats
extern const float* circle_i_16;
extern const float* circle_i_112;
extern const float* circle_f_224;
extern const float* circle_i_224;
extern const float* circle_f_448;
extern const float* circle_i_448;
extern const float* window_112;  // 112 floats

// Builds every table. Idempotent: a second call before da_fft_finit keeps the
// tables already built (they would come out identical) and allocates nothing.
void da_fft_init();
// Releases every table and resets the pointers to null. Harmless when the
// tables are not built.
void da_fft_finit();
// True between da_fft_init and da_fft_finit.
bool da_fft_ready();

// Dies with a message naming `what` when the tables are not built. Every
// public transform calls it once on entry.
void fft_require_tables(const char* what);

// --- roots of unity ----------------------------------------------------------------
// out = amp·(cos θ, sin θ) with θ = k·2π/n computed in float.
void def_w(int k, int n, float amp, float* out);
// A new float[2n] (caller delete[]s it) with entry i = def_w(s·i, n, amp).
float* def_circle_n(int s, float amp, int n);

// --- fast kernels --------------------------------------------------------------------
// out[b·k] = Σₙ in[a·n]·e^(−j2πnk/N) for k < N. `in` and `out` must not overlap;
// the input is left unchanged and output entries between the strided ones untouched.
void ifft_3_dd(const float* in, float* out, int a, int b);
void ifft_4_dd(const float* in, float* out, int a, int b);
void ifft_7_dd(const float* in, float* out, int a, int b);
void ifft_9_dd(const float* in, float* out, int a, int b);
void ifft_16_dd(const float* in, float* out, int a, int b);
void ifft_49_dd(const float* in, float* out, int a, int b);
void ifft_112_dd(const float* in, float* out, int a, int b);
void ifft_441_dd(const float* in, float* out, int a, int b);
void ifft_1764_dd(const float* in, float* out, int a, int b);

// out[b·k] = (1/N)·Σₙ in[a·n]·e^(+j2πnk/N).
void fft_1764_dd(const float* in, float* out, int a, int b);
void fft_112_dd(const float* in, float* out, int a, int b);

// --- O(n²) references, any n ≥ 1 ------------------------------------------------------
// out[k] = (1/n)·Σ in[j]·e^(+j2πjk/n).
void def_dft_n(const float* in, float* out, int n);
// out[k] = Σ in[j]·e^(−j2πjk/n).
void def_idft_n(const float* in, float* out, int n);

// --- two real signals in one complex transform ------------------------------------
// Z is the spectrum of z = x + j·y; writes the spectra of x (a) and y (b) for
// bins 0 .. n/2.
void dft_separate_n(const float* z, float* a, float* b, int n);
// Inverse of dft_separate_n: rebuilds all n bins of Z from bins 0 .. n/2 of a, b.
void dft_combine_n(const float* a, const float* b, float* z, int n);
// a, b receive 883 bins each: the fft_1764_dd spectra of Re x and Im x.
void stereo_fft_1764(const float* x, float* a, float* b);
// y = ifft_1764_dd of the spectrum combined from a and b (883 bins each).
void stereo_ifft_1764(const float* a, const float* b, float* y);

}  // namespace x91
