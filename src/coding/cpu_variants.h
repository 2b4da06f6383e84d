// The coding loops built for each CPU level (framework/cpu_dispatch.h):
// calling one runs the build the process chose; tests compare the builds.
#pragma once

#include <cstdint>

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
// The bits of write_n0_seq's range numbers over all `nodes` nodes of a split
// tree: node j splits the size[j] values from start[j] on after half[j],
// prefix[i] is the sum of the values before i, each value is within 0..M, and
// M·(values) < 2^24.
extern const CpuVariants<int(int nodes, const int* start, const int* half, const int* size,
                             const int* prefix, int M)>
    split_tree_bits;
// The magnitudes of v into magnitude; returns the smallest.
extern const CpuVariants<int(const int* v, int k, int* magnitude)> z_seq_magnitudes;
// One bit per non-zero value of v, in order, 1 for negative.
extern const CpuVariants<void(da_BitBatch& w, const int* v, int k)> z_seq_write_signs;
// Reads one bit per non-zero value of v, in order, and negates the value
// where it is 1.
extern const CpuVariants<void(da_BitWindow& r, int* v, int k)> z_seq_read_signs;
// One layer of the signed-sequence reader over the c values present: those
// marked in `marked` (bit j % 64 of word j / 64 for value j) leave, and the
// values get their layer number; the marks are cleared. index holds the
// output slots of the values present, in order, and is left holding those of
// the values kept; in layer 0 the slots are the positions themselves (index
// need not hold them) and every value is set to 0. Values still present take
// the layer number too, and a later layer overwrites it. index must have room
// for c + 7 entries. Returns the number kept.
extern const CpuVariants<int(std::uint64_t* marked, int* index, int c, int* v, int layer)>
    z_seq_remove_marked;
// a[j] = (a[j] - b[j]) mod n for j < count, as add_to_zn gives it; a and b
// do not overlap.
extern const CpuVariants<void(int* a, const int* b, int count, int n)> zn_subtract_row;
// row[j] = (row[j] - row[j + 1]) mod n for j < count - 1, as add_to_zn gives
// it, each from the old row[j + 1]; the last entry stays.
extern const CpuVariants<void(int* row, int count, int n)> zn_differences_along;

}  // namespace x91
