#include "coding/alternative_codes.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <vector>

#include "coding/zn_codes.h"

namespace x91 {

namespace {

// A set of k elements filling [lo, hi] needs no bits. k beyond the range
// size cannot come from a writer; the surplus is pinned to hi so the reader
// still ends with values inside the range.
void fill_range(int* p, int lo, int hi, int k) {
    for (int i = 0; i < k; ++i) p[i] = std::min(lo + i, hi);
}

std::vector<int> residues(int rows, int cols) {
    return std::vector<int>(static_cast<std::size_t>(std::max(rows, 0)) *
                            static_cast<std::size_t>(std::max(cols, 0)));
}

}  // namespace

// --- sets by halving the range -----------------------------------------------------

void write_known_set_2(da_BinWriter& w, int const* p, int lo, int hi, int k) {
    const int n = hi - lo + 1;
    if (k <= 0 || k >= n) return;
    if (k == 1) {
        write_rng_num(w, n, p[0] - lo);
        return;
    }
    const int h = n / 2;
    const int dmin = std::max(0, k - (n - h));
    const int dmax = std::min(k, h);
    int c = 0;
    while (c < k && p[c] < lo + h) ++c;
    write_rng_num(w, dmax - dmin + 1, c - dmin);
    write_known_set_2(w, p, lo, lo + h - 1, c);
    write_known_set_2(w, p + c, lo + h, hi, k - c);
}

void read_known_set_2(da_BinReader& r, int* p, int lo, int hi, int k) {
    const int n = hi - lo + 1;
    if (k <= 0) return;
    // A full range reads no bits (every split is forced); taking it whole
    // also keeps an impossible k from recursing without end.
    if (k >= n) {
        fill_range(p, lo, hi, k);
        return;
    }
    if (k == 1) {
        p[0] = lo + read_rng_num(r, n);
        return;
    }
    const int h = n / 2;
    const int dmin = std::max(0, k - (n - h));
    const int dmax = std::min(k, h);
    const int c = dmin + read_rng_num(r, dmax - dmin + 1);
    read_known_set_2(r, p, lo, lo + h - 1, c);
    read_known_set_2(r, p + c, lo + h, hi, k - c);
}

// --- unbounded numbers -------------------------------------------------------------

void write_nat0_num(da_BinWriter& w, int m, int v) {
    while (v > 0) {
        const int d = (v - 1) % m + 1;
        write_rng_num(w, m + 1, d);
        v = (v - d) / m;
    }
    write_rng_num(w, m + 1, 0);
}

int read_nat0_num(da_BinReader& r, int m) {
    // Digits come least significant first; the weight of the next digit is
    // m^i. Past the packet's end the bits are zeros, which read as the digit
    // m rather than the end digit, so the end of the bits ends the number.
    long long value = 0, weight = 1;
    for (;;) {
        const int t = read_rng_num(r, m + 1);
        if (t <= 0 || r.overran()) break;
        if (weight <= INT_MAX)
            value = std::min(value + t * weight, static_cast<long long>(INT_MAX));
        weight = std::min(weight * m, static_cast<long long>(INT_MAX) + 1);
    }
    return static_cast<int>(value);
}

// --- stars and bars -----------------------------------------------------------------

void write_n0_seq_v2(da_BinWriter& w, int const* v, int /*unused*/, int k, SetWriterFn set_coder) {
    if (k <= 1) return;
    std::vector<int> bars(k - 1);
    int total = 0;
    for (int i = 0; i < k - 1; ++i) {
        total += v[i];
        bars[i] = total + i;
    }
    total += v[k - 1];
    set_coder(w, bars.data(), 0, total + k - 2, k - 1);
}

void read_n0_seq_v2(da_BinReader& r, int* v, int /*unused*/, int k, SetReaderFn set_coder, int S) {
    if (k <= 0) return;
    S = std::max(S, 0);
    if (k == 1) {
        v[0] = S;
        return;
    }
    std::vector<int> bars(k - 1);
    set_coder(r, bars.data(), 0, S + k - 2, k - 1);
    v[0] = bars[0];
    for (int i = 1; i < k - 1; ++i) v[i] = bars[i] - bars[i - 1] - 1;
    v[k - 1] = S + k - 2 - bars[k - 2];
}

// --- plain residues ---------------------------------------------------------------

void znseq_write0(da_BinWriter& w, int const* v, int k, int n) {
    for (int i = 0; i < k; ++i) write_rng_num(w, n, v[i]);
}

void znseq_read0(da_BinReader& r, int* v, int k, int n) {
    for (int i = 0; i < k; ++i) v[i] = read_rng_num(r, n);
}

// --- matrices: plain, or both differences -------------------------------------------

void znmatrix_write0(da_BinWriter& w, da_IntMatrix& m, int n) {
    const std::vector<int> seq = m.get_as_seq();
    znseq_write0(w, seq.data(), static_cast<int>(seq.size()), n);
}

std::unique_ptr<da_IntMatrix> znmatrix_read0(da_BinReader& r, int rows, int cols, int n) {
    std::vector<int> seq = residues(rows, cols);
    znseq_read0(r, seq.data(), static_cast<int>(seq.size()), n);
    return std::make_unique<da_IntMatrix>(seq.data(), rows, cols);
}

void znmatrix_write1(da_BinWriter& w, da_IntMatrix& m, int n) {
    // Row i-1 becomes row(i-1) - row(i), then column j-1 becomes
    // col(j-1) - col(j); the last row and column stay.
    for (int i = 1; i < m.rows(); ++i) m.rowxmod_zn(i - 1, i, -1, n);
    for (int j = 1; j < m.cols(); ++j) m.colxmod_zn(j - 1, j, -1, n);
    const std::vector<int> seq = m.get_as_seq();
    znseq_write2(w, seq.data(), static_cast<int>(seq.size()), n);
}

std::unique_ptr<da_IntMatrix> znmatrix_read1(da_BinReader& r, int rows, int cols, int n) {
    std::vector<int> seq = residues(rows, cols);
    znseq_read2(r, seq.data(), static_cast<int>(seq.size()), n);
    auto m = std::make_unique<da_IntMatrix>(seq.data(), rows, cols);
    // Undone from the last row and column backwards; the two kinds of
    // difference commute.
    for (int j = m->cols() - 1; j >= 1; --j) m->colxmod_zn(j - 1, j, +1, n);
    for (int i = m->rows() - 1; i >= 1; --i) m->rowxmod_zn(i - 1, i, +1, n);
    return m;
}

}  // namespace x91
