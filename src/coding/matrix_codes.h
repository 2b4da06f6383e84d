// Codes for matrices of residues: plain, or after modular differences
// between neighbouring rows and/or columns, whichever is shortest.
#pragma once

#include <memory>

#include "coding/int_matrix.h"
#include "coding/zn_codes.h"

namespace x91 {

// Variant number as rng_num(4) (11 plain, 10 row differences, 01 column
// differences, 00 both), then znseq_write2 of that variant. The variant is
// chosen by the lengths of the four codes (znmatrix_test_mcl); ties go to
// the lower number. m is left unchanged; only the chosen variant is written.
void znmatrix_write2(da_BinWriter& w, da_IntMatrix& m, int n);
std::unique_ptr<da_IntMatrix> znmatrix_read2(da_BinReader& r, int rows, int cols, int n);

// Bits that znseq_write2 of m's row-major sequence takes. Every code length
// follows from the values alone, so the count is worked out without writing:
// w is neither moved nor written to.
int znmatrix_test_mcl(da_BinWriter& w, da_IntMatrix& m, int n);

}  // namespace x91
