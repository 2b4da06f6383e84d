#include "coding/zn_codes.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "coding/integer_codes.h"

namespace x91 {

void add_to_zn_by_division(int& x, int d, int n) {
    long long s = (static_cast<long long>(x) + d) % n;
    if (s < 0) s += n;
    x = static_cast<int>(s);
}

void zn_zton_bij(int* v, int k, int n) {
    for (int i = 0; i < k; ++i) v[i] = 2 * v[i] < n ? 2 * v[i] : 2 * (n - v[i]) - 1;
}

void zn_ntoz_bij(int* v, int k, int n) {
    for (int i = 0; i < k; ++i) v[i] = (v[i] & 1) ? n - (v[i] + 1) / 2 : v[i] / 2;
}

namespace {

// Number of possible totals of k residues; no sequence that fits in memory
// reaches the cap.
int total_range(int k, int n) {
    const long long range = static_cast<long long>(k) * (n - 1) + 1;
    return static_cast<int>(std::min(range, static_cast<long long>(INT_MAX)));
}

}  // namespace

void znseq_write1(da_BinWriter& w, int const* v, int k, int n) {
    int total = 0;
    for (int i = 0; i < k; ++i) total += v[i];
    write_rng_num(w, total_range(k, n), total);
    write_n0_seq(w, v, n - 1, k);
}

void znseq_read1(da_BinReader& r, int* v, int k, int n) {
    const int total = read_rng_num(r, total_range(k, n));
    read_n0_seq(r, v, n - 1, k, total);
}

void znseq_write2(da_BinWriter& w, int const* v, int k, int n) {
    std::vector<int> folded(v, v + std::max(k, 0));
    zn_zton_bij(folded.data(), k, n);
    znseq_write1(w, folded.data(), k, n);
}

long long znseq_bits2(int const* v, int k, int n) {
    // The usual case in one pass: the folded values' prefix sums, with the
    // check that every folded value lies within 0..n-1, and the lengths
    // from the sums. M·k below 2^24 keeps every sum in int.
    const int M = n - 1;
    if (k > 1 && M >= 0 && static_cast<long long>(M) * k < (1 << 24)) {
        PrefixSumRoom room(k);
        int* sums = room.data();
        // The folding, free of branches, goes eight values at a time; only
        // the running sum is left to go one by one.
        sums[0] = 0;
        int in_range = 1;
        for (int i = 0; i < k; ++i) {
            const int f = 2 * v[i] < n ? 2 * v[i] : 2 * (n - v[i]) - 1;
            in_range &= static_cast<int>(f >= 0) & static_cast<int>(f <= M);
            sums[i + 1] = f;
        }
        for (int i = 0; i < k; ++i) sums[i + 1] += sums[i];
        if (in_range != 0)
            return rng_num_bits(total_range(k, n), sums[k]) + n0_seq_bits_of_sums(sums, M, k);
    }
    std::vector<int> folded(v, v + std::max(k, 0));
    zn_zton_bij(folded.data(), k, n);
    int total = 0;
    for (int i = 0; i < k; ++i) total += folded[i];
    return rng_num_bits(total_range(k, n), total) + n0_seq_bits(folded.data(), n - 1, k);
}

void znseq_read2(da_BinReader& r, int* v, int k, int n) {
    znseq_read1(r, v, k, n);
    zn_ntoz_bij(v, k, n);
}

}  // namespace x91
