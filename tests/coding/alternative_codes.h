// Alternative codes of the codec's toolbox that nothing in the codec writes, kept and checked here.
#pragma once

#include <memory>

#include "coding/int_matrix.h"
#include "coding/integer_codes.h"

namespace x91 {

// The same set as known_set_1 by halving the range: the count below the
// midpoint, then each half.
void write_known_set_2(da_BinWriter& w, int const* p, int lo, int hi, int k);
void read_known_set_2(da_BinReader& r, int* p, int lo, int hi, int k);

// An unbounded v >= 0 in bijective base m >= 1 (digits 1..m, least significant
// first, each a range number over m+1 values), ended by a digit 0.
void write_nat0_num(da_BinWriter& w, int m, int v);
// Saturates at INT_MAX; stops at the end of the packet's bits.
int read_nat0_num(da_BinReader& r, int m);

// k values >= 0 with a total S the reader knows, as k-1 bar positions in
// 0..S+k-2 coded by set_coder. The unused int is part of the interface.
void write_n0_seq_v2(da_BinWriter& w, int const* v, int unused, int k, SetWriterFn set_coder);
void read_n0_seq_v2(da_BinReader& r, int* v, int unused, int k, SetReaderFn set_coder, int S);

// Each residue as a range number over n.
void znseq_write0(da_BinWriter& w, int const* v, int k, int n);
void znseq_read0(da_BinReader& r, int* v, int k, int n);

// Row-major znseq_write0.
void znmatrix_write0(da_BinWriter& w, da_IntMatrix& m, int n);
std::unique_ptr<da_IntMatrix> znmatrix_read0(da_BinReader& r, int rows, int cols, int n);

// Row differences, then column differences, then znseq_write2; m is left
// holding the differences.
void znmatrix_write1(da_BinWriter& w, da_IntMatrix& m, int n);
std::unique_ptr<da_IntMatrix> znmatrix_read1(da_BinReader& r, int rows, int cols, int n);

}  // namespace x91
