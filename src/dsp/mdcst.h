// Stereo MDCST: the MDCT (real part) and MDST (imaginary part) of two real
// channels packed as one complex frame, for frames of M = 1764 and M = 112.
//
// For channel c (real parts of x: spectrum a; imaginary parts: spectrum b),
//   X_c[k] = ((−1)^(k+1)/M) · Σₙ x_c[n]·w[n]·e^(jθ(k,n)),
//   θ(k,n) = (π/N)·(n + ½ + N/2)·(k + ½),  N = M/2 lines.
// The inverse returns w·(R(a) + j·R(b)); applied to a forward result it gives
// w²·x, and overlap-adding frames a hop of N apart rebuilds the signal, from
// the full spectra or from the real parts alone fed back as (√2·c, 0) with
// c = √2·Re X.
#pragma once

namespace x91 {

// x: 1764 complex values (read only); a, b: 882 complex values each.
void stereo_mdcst_1764(const float* x, float* a, float* b);
// a, b: 882 complex values each (read only); y: 1764 complex values.
void stereo_imdcst_1764(const float* a, const float* b, float* y);
// The same for M = 112, N = 56.
void stereo_mdcst_112(const float* x, float* a, float* b);
void stereo_imdcst_112(const float* a, const float* b, float* y);

// Splits the twiddled spectrum v of M values into the N = M/2 line values of
// the two channels (any even m).
void mdcst_separate_n(const float* v, float* a, float* b, int m);

// Inverse of mdcst_separate_n for line i of a and b: p = z[i] and
// q = z[M − 1 − i]. The inverse transform takes it inside its twiddle pass.
inline void mdcst_combine_pair(const float* a, const float* b, float* p, float* q) {
    const float ar = a[0], ai = a[1];
    const float br = b[0], bi = b[1];
    // Z[i] = j·a − b, Z[M−1−i] = −conj(j·a + b)
    p[0] = -br - ai;
    p[1] = ar - bi;
    q[0] = ai - br;
    q[1] = ar + bi;
}

}  // namespace x91
