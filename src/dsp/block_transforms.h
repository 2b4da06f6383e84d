// 56-value block transforms of the quantiser: the orthonormal DST-IV of two
// vectors at once and the orthogonal window rotation between neighbours.
#pragma once

namespace x91 {

// ta = DST-IV(a), tb = DST-IV(b), with
// ta[k] = √(2/56)·Σᵢ a[i]·sin((π/56)·(i + ½)·(k + ½)). 56 values each.
void hvst56(const float* a, const float* b, float* ta, float* tb);
// Inverse of hvst56 (the DST-IV is its own inverse).
void ihvst56(const float* ta, const float* tb, float* a, float* b);

// hvst56 of `count` block pairs at once: pair e is (a[e], b[e]) into
// (ta[e], tb[e]). The pairs are transformed side by side in vector lanes,
// each with exactly the operations of hvst56, so the results are the same
// bit for bit. Outputs must not overlap inputs.
void hvst56_many(int count, const float* const* a, const float* const* b, float* const* ta,
                 float* const* tb);
// ihvst56 of `count` block pairs at once, likewise.
void ihvst56_many(int count, const float* const* ta, const float* const* tb, float* const* a,
                  float* const* b);

// Rotates the pairs (src[i], src[55 − i]), i < 28, by the short window's
// weights; dst may be src.
void overlap56(const float* src, float* dst);
// Inverse of overlap56; dst may be src.
void ioverlap56(const float* src, float* dst);

}  // namespace x91
