// Scalar quantisers: one float to one integer index and back.
//
// The logarithmic pair codes every spectral coefficient: level k sits at
// D(k) = (b^k − 1)/(b − 1), so the gap between levels k and k + 1 is b^k.
// The _range_to_zn pair codes the side-stereo balances. Unless a comment says
// a value is kept as float, intermediate arithmetic runs in double.
#pragma once

#include "quant/level_windows.h"

namespace x91 {

float rn_pow(float x, int k);  // x^k by square-and-multiply in float; 1 for k <= 0

double log_dequant_aux(int k, float b);  // D(k) before rounding, k >= 0
float log_dequant(int k, float b);       // D(k) as float, mirrored for k < 0

int log_quant_aux(float x, float b, float r);  // index of x >= 0
// Index of x: the threshold between levels k and k + 1 lies at D(k) + r·b^k.
// Symmetric; NaN gives 0, infinities saturate to the largest int.
int log_quant(float x, float b, float r);

// log_quant with its per-setting constants computed once: the same index for
// every float input, with one logarithm per value instead of four, and none
// for the values that stay at level 0 or whose index is certain from their
// bits (LevelWindows).
class da_LogQuantizer {
  public:
    da_LogQuantizer(float b, float r);
    int operator()(float x) const { return 0.0f > x ? -magnitude(-x) : magnitude(x); }
    // index[i] = (*this)(x[i]) for count values; the values that stay at
    // level 0 are found eight at a time.
    void indices(const float* x, int* index, int count) const;

  private:
    // Inline so that the common level-0 case costs no call; the level
    // argument is (b − 1)·x + 1 rounded once to float, as everywhere.
    int magnitude(float x) const {
        const float y = static_cast<float>(b_minus_1_ * static_cast<double>(x) + 1.0);
        if (y < zero_below_) return 0;
        const int known = windows_.index(y);
        return known >= 0 ? known : magnitude_above(y);
    }
    int magnitude_above(float y) const;  // index of a level argument not below zero_below_

    float r_;
    double b_minus_1_;
    float ln_b_;
    double u_r_;
    // Every level argument below this one was tried (once per base and
    // rounding point in the process) and stays at level 0.
    float zero_below_;
    // The indices certain without the logarithm (a few kilobytes, made in
    // well under a millisecond).
    LevelWindows windows_;
};

// n levels from lo to hi inclusive: nearest level (not clamped) and its value.
int _range_to_zn(float x, float lo, float hi, int n);
float _zn_to_range(int k, float lo, float hi, int n);

}  // namespace x91
