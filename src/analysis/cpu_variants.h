// The analysis loops built for each CPU level (framework/cpu_dispatch.h):
// calling one runs the build the process chose; tests compare the builds.
#pragma once

#include <cstdint>

#include "framework/cpu_dispatch.h"

namespace x91 {

// Band envelopes (band_envelope.cpp).
// The shares of `count` lines placed at positions itab (top = bands + 1,
// exact in float): each line's slot, lower and upper share, and the run
// starts, lines where the slot changes, closed by count; returns their number.
extern const CpuVariants<int(const float* itab, int count, int bands, float top, int* slot,
                             float* lower, float* upper, int* starts)>
    env_shares_of;
// out[i] = lower[i]·slots[slot[i]] + upper[i]·slots[slot[i] + 1], where
// slots holds slot_count values and every slot[i] + 1 is below that.
extern const CpuVariants<void(int count, const int* slot, const float* lower, const float* upper,
                              const float* slots, int slot_count, float* out)>
    env_interpolate_shares;
// lo[i] = lower[i]·values[i], hi[i] = upper[i]·values[i].
extern const CpuVariants<void(int count, const float* lower, const float* upper,
                              const float* values, float* lo, float* hi)>
    env_share_products;
// slots[s] for s < slot_count: 0 plus, one by one, the steps of slot s's
// chain: group g of eight slots has group_steps[g] rows of eight steps, and
// lane s − 8g's row t lies at rows + offsets[8t + s − 8g] (offsets running
// on from group to group). First, each crossing row c (five ints x) is put
// together at rows + x[4]: element j is rows[x[0] + j] for j < x[2], else
// rows[x[1] + j] for j < x[3], else 0.
extern const CpuVariants<void(float* rows, const int* crossings, int crossing_count,
                              const std::uint16_t* offsets, const int* group_steps, int slot_count,
                              float* slots)>
    env_chain_sums;
// table[i] = a + (table[i] − first)·factor.
extern const CpuVariants<void(float* table, int count, float a, float first, float factor)>
    env_rescale;
// The first i in [from, end) with t[i] > t[i − 1] + step, or end.
extern const CpuVariants<int(const float* t, int from, int end, float step)> env_first_steep_rise;
// The last i in [0, from] with t[i + 1] − step > t[i], or −1.
extern const CpuVariants<int(const float* t, int from, float step)> env_last_steep_rise;

// Side stereo (side_stereo.cpp).
// out[i] = √in[i].
extern const CpuVariants<void(const float* in, float* out, int count)> stereo_square_roots;
// The running sums of 1 to 8 maps (n values each) in place, each in line
// order; totals[f] is map f's last.
extern const CpuVariants<void(int frames, float* const* maps, int n, float* totals)>
    stereo_running_sums;
// map[i] += i·slope.
extern const CpuVariants<void(float* map, int count, float slope)> stereo_add_slope;
// Turns each line pair (left, right) by the angle its balance gives, in the
// direction ±1.
extern const CpuVariants<void(int n, float direction, const float* line_balance, float* left,
                              float* right)>
    stereo_rotate_pairs;

// Masking (masking.cpp).
// energy[i] = (values[i]·scale)².
extern const CpuVariants<void(const float* values, float scale, float* energy, int count)>
    masking_line_energies;
// out[i] = √(out[i] + add[i]).
extern const CpuVariants<void(float* out, const float* add, int count)> masking_root_of_sums;
// The curves (n values each) of 1 to 8 frames' envelopes at once, each as
// da_MaskingEffectEvolve's stat_mask_to gives it; scratch holds 24·n floats.
extern const CpuVariants<void(int frames, const float* const* values, float scale,
                              const float* upward, const float* downward, int n, float* scratch,
                              float* const* out)>
    masking_curves_in_lanes;

// Intensity (intensity.cpp).
// out[i] = √((|left_i|² + |right_i|²)/2) for complex lines (re, im), the
// magnitudes as c_abs gives them, the mean and root in double.
extern const CpuVariants<void(const float* left, const float* right, float* out, int count)>
    intensity_mean_magnitudes;

// Side stereo, measuring (side_stereo.cpp).
// out[i] = |c_i| for complex lines (re, im), as c_abs gives it.
extern const CpuVariants<void(const float* c, float* out, int count)> stereo_line_magnitudes;

}  // namespace x91
