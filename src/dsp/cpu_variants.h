// The transform loops built for each CPU level (framework/cpu_dispatch.h):
// calling one runs the build the process chose; tests compare the builds.
#pragma once

#include <cstddef>

#include "framework/cpu_dispatch.h"

namespace x91 {

namespace fft_detail {

// The 1764-point DFT of in[a·n] into out[b·k] (float strides), computing
// Σₙ in[a·n]·e^(−j2πnk/N) unscaled. With `inverse` the input is first taken
// in reversed index order and multiplied by the float nearest 1/1764, which
// makes it the inverse transform.
extern const CpuVariants<void(const float*, float*, std::ptrdiff_t, std::ptrdiff_t, bool)> dft_1764;

}  // namespace fft_detail

// The long-frame MDCST pair without the table check (stereo_mdcst_1764 and
// stereo_imdcst_1764).
extern const CpuVariants<void(const float*, float*, float*)> mdcst_forward_long;
extern const CpuVariants<void(const float*, const float*, float*)> mdcst_inverse_long;

// hvst56_many and ihvst56_many without the table check.
extern const CpuVariants<void(int, const float* const*, const float* const*, float* const*,
                              float* const*)>
    hvst56_batch;
extern const CpuVariants<void(int, const float* const*, const float* const*, float* const*,
                              float* const*)>
    ihvst56_batch;

// overlap56 and ioverlap56 without the table check.
extern const CpuVariants<void(const float*, float*)> overlap56_rotation;
extern const CpuVariants<void(const float*, float*)> ioverlap56_rotation;

// The decoder's block from the spectra a and b (their first `lines` lines,
// 1..882; the others count as 0) and the held tail (882 left values, then
// 882 right ones): the inverse long-frame MDCST, its first half added to the
// tail and written as 882 sample pairs, 16-bit little-endian; its second half
// becomes the new tail.
extern const CpuVariants<void(const float*, const float*, int, float*, unsigned char*)>
    cdda_inverse_block;

// r[i] = √2·Re s[i], and s[i] = (√2·r[i], 0), for `lines` lines.
extern const CpuVariants<void(const float*, float*, int)> spectrum_real_parts;
extern const CpuVariants<void(const float*, float*, int)> spectrum_from_real_parts;

}  // namespace x91
