// The MDCST combine step of the codec's toolbox that nothing in the codec calls, kept here.
#pragma once

#include "dsp/mdcst.h"

namespace x91 {

// Inverse of mdcst_separate_n: builds all M values of z from the N = M/2
// lines of a and b, pair by pair (the inverse transform does the same pairs
// inside its twiddle pass).
inline void mdcst_combine_n(const float* a, const float* b, float* z, int m) {
    for (int i = 0; i < m / 2; ++i)
        mdcst_combine_pair(a + 2 * i, b + 2 * i, z + 2 * i, z + 2 * (m - 1 - i));
}

}  // namespace x91
