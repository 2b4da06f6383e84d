// The quantiser loops built for each CPU level (framework/cpu_dispatch.h):
// calling one runs the build the process chose; tests compare the builds.
#pragma once

#include "framework/cpu_dispatch.h"

namespace x91 {

// out[i] = table[index[i] + middle] for count lines, where every such slot
// lies in [0, size); false as soon as one does not (out is then unfinished).
extern const CpuVariants<bool(const float* table, int size, int middle, const int* index,
                              float* out, int count)>
    quant_table_levels;
// out[e] = ra_amplitude(blocks[e], 56) for count blocks of 56 lines.
extern const CpuVariants<void(int count, const float* const* blocks, float* out)>
    quant_block_amplitudes;
// x[i] = x[i]·curve[i].
extern const CpuVariants<void(float* x, const float* curve, int count)> quant_scale_lines;
// s[2i] = x[i]·curve[i]·√½ and s[2i + 1] = 0, each product rounded apart.
extern const CpuVariants<void(const float* x, const float* curve, float* s, int count)>
    quant_scale_lines_complex;
// y[i] = (b − 1)·|x[i]| + 1, rounded once to float, for 8·blocks lines (the
// level argument); bit j of below[b] is set when line 8·b + j's lies below
// `limit`; a NaN is never below.
extern const CpuVariants<void(const float* x, int blocks, double b_minus_1, float limit, float* y,
                              unsigned char* below)>
    quant_mark_level_zero;

}  // namespace x91
