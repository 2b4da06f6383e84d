// The coding loops built for each CPU level (framework/cpu_dispatch.h):
// calling one runs the build the process chose; tests compare the builds.
#pragma once

#include "coding/integer_codes.h"
#include "framework/cpu_dispatch.h"

namespace x91 {

// One layer of the signed-sequence writer over the c values present: the
// positions of those not above `layer` go to removed (in order; up to 7
// slots past them may be written), the others move down in work, in order.
// Returns the number removed; kept and the smallest value kept (INT_MAX if
// none) come back through the references. Only those counts of each list
// are defined afterwards.
extern const CpuVariants<int(int* work, int c, int layer, int* removed, int& kept, int& smallest)>
    z_seq_split_layer;
// The magnitudes of v into magnitude; returns the smallest.
extern const CpuVariants<int(const int* v, int k, int* magnitude)> z_seq_magnitudes;
// One bit per non-zero value of v, in order, 1 for negative.
extern const CpuVariants<void(da_BitBatch& w, const int* v, int k)> z_seq_write_signs;
// Reads one bit per non-zero value of v, in order, and negates the value
// where it is 1.
extern const CpuVariants<void(da_BitWindow& r, int* v, int k)> z_seq_read_signs;

}  // namespace x91
