// The median-split set reader as the plain recursion of its definition, the
// reference the table-driven readers are held to.
#pragma once

#include <algorithm>

#include "coding/integer_codes.h"

namespace x91::coding_test {

// The median-split set reader as the plain recursion of its definition.
inline void reference_read_set(da_BinReader& r, int* p, int lo, int hi, int k) {
    const int n = hi - lo + 1;
    if (k <= 0) return;
    if (n - k <= 0) {
        for (int i = 0; i < k; ++i) p[i] = std::min(lo + i, hi);
        return;
    }
    const int m = k / 2;
    p[m] = lo + m + read_rng_num(r, n - k + 1);
    reference_read_set(r, p, lo, p[m] - 1, m);
    reference_read_set(r, p + m + 1, p[m] + 1, hi, k - m - 1);
}

}  // namespace x91::coding_test
