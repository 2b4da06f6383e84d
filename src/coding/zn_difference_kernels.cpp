// The residue differences the matrix coder takes between rows and along a
// row, in a portable build and an AVX2 build that agree bit for bit.
#include "coding/cpu_variants.h"
#include "coding/zn_codes.h"

namespace x91 {

namespace {

// add_to_zn(x, d, n) where x is a residue and d within (-n, n): the case
// that needs one correction by n and no division.
bool one_correction(int x, int d, int n) {
    return x >= 0 && x < n && d > -n && d < n;
}
int sum_by_one_correction(int x, int d, int n) {
    const int s = x + d;
    return s >= n ? s - n : s < 0 ? s + n : s;
}

// A coded matrix holds residues only, so a whole run takes the
// one-correction case: checked first, then made without branches, which the
// compiler turns into vector code. Other runs go entry by entry.
void subtract_row(int* a, const int* b, int count, int n) {
    int quick = 1;
    for (int j = 0; j < count; ++j) quick &= static_cast<int>(one_correction(a[j], -b[j], n));
    if (quick != 0) {
        for (int j = 0; j < count; ++j) a[j] = sum_by_one_correction(a[j], -b[j], n);
    } else {
        for (int j = 0; j < count; ++j) add_to_zn(a[j], -b[j], n);
    }
}

// In place, left to right: each entry still meets its right neighbour's old
// value. One array, so the compiler sees that no store reaches a later load.
void differences_along(int* row, int count, int n) {
    const int last = count - 1;
    int quick = 1;
    for (int j = 0; j < last; ++j)
        quick &= static_cast<int>(one_correction(row[j], -row[j + 1], n));
    if (quick != 0) {
        for (int j = 0; j < last; ++j) row[j] = sum_by_one_correction(row[j], -row[j + 1], n);
    } else {
        for (int j = 0; j < last; ++j) add_to_zn(row[j], -row[j + 1], n);
    }
}

}  // namespace

const CpuVariants<void(int*, const int*, int, int)> zn_subtract_row = cpu_variants_of<subtract_row>;
const CpuVariants<void(int*, int, int)> zn_differences_along = cpu_variants_of<differences_along>;

}  // namespace x91
