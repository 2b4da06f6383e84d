// Scalar, array and complex helpers shared by every numeric part of the codec.
//
// Encoder and decoder must compute bit-identical curves and maps, so every
// helper fixes its precision: float unless a comment says double.
#pragma once

#include <cmath>

#ifdef __FAST_MATH__
#error "x91 must not be built with fast-math: encoder and decoder would disagree"
#endif

namespace x91 {

extern const float r_pi;
extern const float r_2pi;
extern const float r_half;
extern const float r_zero;
extern const float r_one;
extern const float r_two;
extern const float r_sqrt_two;

// --- float and int scalars ---------------------------------------------------
// The small helpers are defined here so that every per-line loop inlines them;
// each keeps its float operations and their order exactly as written.
inline float r_sqr(float x) {
    return x * x;
}
inline float r_cub(float x) {
    return x * x * x;
}
// sqrt(x²), not fabs: tiny values square to zero and huge ones to infinity,
// and every caller relies on that same result on both sides of the codec.
inline float r_abs(float x) {
    return std::sqrt(r_sqr(x));
}
inline float r_max(float a, float b) {
    return b > a ? b : a;
}  // ties and NaN give a
inline float r_min(float a, float b) {
    return b > a ? a : b;
}  // ties give b
inline int i_max(int a, int b) {
    return a >= b ? a : b;
}
inline int i_min(int a, int b) {
    return a < b ? a : b;
}
inline int i_abs(int a) {
    return a < 0 ? -a : a;
}
float r_log2(float x);
float r_logb(float base, float x);  // log of x to the base `base`

// Integer floor. Out-of-range floats (NaN, beyond int) would make the
// conversion undefined; they can only come from damaged data, so NaN gives 0
// and the rest saturate. In range, truncation corrected downwards equals the
// floor exactly (floats of magnitude 2^23 and above are integers already).
inline int r_floor(float x) {
    if (x >= -2147483648.0f && x < 2147483648.0f) {
        const int t = static_cast<int>(x);
        return static_cast<float>(t) > x ? t - 1 : t;
    }
    if (!(x == x)) return 0;
    return x > 0.0f ? 2147483647 : -2147483647 - 1;
}
inline int r_round(float x) {
    return r_floor(x + 0.5f);
}  // floor(x + 0.5): halves round upwards
float freq_to_bark(float f);
float db_to_amplify(float d);  // 2^(d/6): 6 level units per doubling
float amplify_to_db(float a, float floor_db);
// The same with the floor's amplitude, db_to_amplify(floor_db), worked out
// once by the caller for many values against one floor.
float amplify_to_db(float a, float floor_db, float floor_amplitude);

// --- float arrays --------------------------------------------------------------
float ra_amplitude(const float* values, int count);

// --- complex values: two floats, real part first -----------------------------
inline void c_equ_c(float* d, const float* s) {
    d[0] = s[0];
    d[1] = s[1];
}
inline void c_addequ_c(float* d, const float* s) {
    d[0] += s[0];
    d[1] += s[1];
}
inline void c_mulequ_c(float* d, const float* s) {
    // s may alias d (squaring in place): read both parts of s first.
    const float sre = s[0], sim = s[1];
    const float re = d[0] * sre - d[1] * sim;
    d[1] = d[0] * sim + d[1] * sre;
    d[0] = re;
}
inline void c_mulequ_r(float* d, float r) {
    d[0] *= r;
    d[1] *= r;
}
inline void c_equ_c_mul_c(float* d, const float* a, const float* b) {
    const float re = a[0] * b[0] - a[1] * b[1];
    const float im = a[0] * b[1] + a[1] * b[0];
    d[0] = re;
    d[1] = im;
}
inline void c_equ_c_mul_r(float* d, const float* a, float r) {
    d[0] = a[0] * r;
    d[1] = a[1] * r;
}
inline void c_addequ_c_mul_c(float* d, const float* a, const float* b) {
    const float re = a[0] * b[0] - a[1] * b[1];
    const float im = a[0] * b[1] + a[1] * b[0];
    d[0] += re;
    d[1] += im;
}
// d[0] += a[0]·Re(w) and d[1] += a[1]·Im(w): w's parts act as two real factors.
inline void cc_equ_cc_mul_rr(float* d, const float* a, const float* w) {
    d[0] += a[0] * w[0];
    d[1] += a[1] * w[0];
    d[2] += a[2] * w[1];
    d[3] += a[3] * w[1];
}
// o1 = t[0] + t[1] − x0, o2 = t[0] − t[1] + x0: output butterfly of odd radices.
inline void ifft_odd_aux(float* o1, float* o2, const float* x0, const float* t) {
    o1[0] = t[0] + t[2] - x0[0];
    o1[1] = t[1] + t[3] - x0[1];
    o2[0] = t[0] - t[2] + x0[0];
    o2[1] = t[1] - t[3] + x0[1];
}
inline float c_abs(const float* c) {
    return std::sqrt(r_sqr(c[0]) + r_sqr(c[1]));
}

}  // namespace x91
