// Residues modulo n (values 0..n-1) and the codes for sequences of them.
#pragma once

#include "framework/bit_stream.h"

namespace x91 {

// add_to_zn for any x and d, by a division.
void add_to_zn_by_division(int& x, int d, int n);

// x = (x + d) mod n, in 0..n-1 also when x + d is negative. n >= 1. Inline:
// the matrix coders run it on every element.
inline void add_to_zn(int& x, int d, int n) {
    // The usual case, a residue plus a difference of residues: one
    // correction by n instead of a division.
    if (x >= 0 && x < n && d > -n && d < n) {
        const int s = x + d;
        x = s >= n ? s - n : s < 0 ? s + n : s;
        return;
    }
    add_to_zn_by_division(x, d, n);
}

// Zigzag fold, in place, so that residues near 0 from either side become
// small: 0 -> 0, 1 -> 2, n-1 -> 1, n-2 -> 3, ... For n = 8 the images of 0..7
// are 0, 2, 4, 6, 7, 5, 3, 1.
void zn_zton_bij(int* v, int k, int n);
// Its inverse: odd t -> n - (t+1)/2, even t -> t/2.
void zn_ntoz_bij(int* v, int k, int n);

// The total as a range number over k*(n-1)+1 values, then its split with
// n0_seq under the bound n-1.
void znseq_write1(da_BinWriter& w, int const* v, int k, int n);
void znseq_read1(da_BinReader& r, int* v, int k, int n);
// znseq_write1 of the zigzag-folded values; the input is left unchanged.
void znseq_write2(da_BinWriter& w, int const* v, int k, int n);
// The number of bits znseq_write2(w, v, k, n) writes, found without writing.
long long znseq_bits2(int const* v, int k, int n);
void znseq_read2(da_BinReader& r, int* v, int k, int n);

}  // namespace x91
