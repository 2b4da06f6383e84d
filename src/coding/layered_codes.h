// Codes for sequences without a bound or a known total: layers of zeros for
// magnitudes, plus sign bits for signed values. The spectra use these.
#pragma once

#include "coding/integer_codes.h"

namespace x91 {

// k values >= 0 in layers. Layer L removes the positions (within the list of
// values still present) whose value is L: it writes their count z as a range
// number over c + 1 values, c being the count still present, and then the
// positions with set_coder over 0..c-1. The code ends when no value is left,
// so it takes one layer per magnitude up to the largest.
void write_n0_seq_3(da_BinWriter& w, int const* v, int k, SetWriterFn set_coder);
// Ends within the packet's bits plus k layers whatever they hold: a layer
// that removes nothing costs at least one bit, and zero bits past the end
// remove every value left.
void read_n0_seq_3(da_BinReader& r, int* v, int k, SetReaderFn set_coder);

// k signed values: the magnitudes with n0_seq_3 and known_set_1, then one
// bit per non-zero value in order, 1 for negative. (2, 0, -1) codes as
// 1 0 1 1 0 0 0 1; a single 0 as 0; (1) as 1 0 0.
void write_z_seq(da_BinWriter& w, int const* v, int k);
void read_z_seq(da_BinReader& r, int* v, int k);

}  // namespace x91
