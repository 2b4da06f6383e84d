// Scalar, array and complex helpers shared by every numeric part of the codec.
//
// Encoder and decoder must compute bit-identical curves and maps, so every
// helper fixes its precision: float unless a comment says double.
#pragma once

#ifdef __FAST_MATH__
#error "x91 must not be built with fast-math: encoder and decoder would disagree"
#endif

extern const float r_pi;
extern const float r_2pi;
extern const float r_half;
extern const float r_zero;
extern const float r_one;
extern const float r_two;
extern const float r_sqrt_two;
extern const unsigned char BITS[8];

// --- float and int scalars ---------------------------------------------------
float r_sqr(float x);
float r_cub(float x);
float r_abs(float x);
float r_max(float a, float b);  // b if b > a, else a (ties and NaN give a)
float r_min(float a, float b);  // a if b > a, else b (ties give b)
int i_max(int a, int b);
int i_min(int a, int b);
int i_abs(int a);
float r_log2(float x);
float r_logb(float base, float x);  // log of x to the base `base`
int r_floor(float x);
int r_round(float x);  // floor(x + 0.5): halves round upwards
int energy_round(float x);
float signed_pow(float x, float p);
float freq_to_bark(float f);
float db_to_amplify(float d);  // 2^(d/6): 6 level units per doubling
float amplify_to_db(float a, float floor_db);

// --- float arrays --------------------------------------------------------------
float ra_sum(const float* values, int count);
float ra_avg(const float* values, int count);
float ra_max(const float* values, int count);
float ra_energy(const float* values, int count);
float ra_amplitude(const float* values, int count);

// --- complex values: two floats, real part first -----------------------------
void c_equ_c(float* d, const float* s);
void c_addequ_c(float* d, const float* s);
void c_mulequ_c(float* d, const float* s);
void c_mulequ_r(float* d, float r);
void c_equ_c_mul_c(float* d, const float* a, const float* b);
void c_equ_c_mul_r(float* d, const float* a, float r);
void c_addequ_c_mul_c(float* d, const float* a, const float* b);
// d[0] += a[0]·Re(w) and d[1] += a[1]·Im(w): w's parts act as two real factors.
void cc_equ_cc_mul_rr(float* d, const float* a, const float* w);
// o1 = t[0] + t[1] − x0, o2 = t[0] − t[1] + x0: output butterfly of odd radices.
void ifft_odd_aux(float* o1, float* o2, const float* x0, const float* t);
float c_abs(const float* c);
