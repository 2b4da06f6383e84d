// The length of a sequence's total-splitting code (write_n0_seq) summed over
// the split tree's nodes, in a portable build and an AVX2 build that agree.
// The sum is of integers, so its order does not matter.
#include <algorithm>

#include "coding/cpu_variants.h"
#include "coding/integer_codes.h"

#ifdef X91_CPU_AVX2
#include <immintrin.h>
#endif

namespace x91 {

namespace {

// Node j splits the `size` values from `start` on after `half` of them; prefix
// holds the sums of the values before each position, M the largest value.
int split_bits_of(const int* start, const int* half, const int* size, const int* prefix, int M,
                  int j) {
    const int s = prefix[start[j]];
    const int total = prefix[start[j] + size[j]] - s;
    const int left = prefix[start[j] + half[j]] - s;
    const int hi = std::min(total, M * half[j]);
    const int lo = std::max(0, total - M * (size[j] - half[j]));
    return rng_num_bits(hi - lo + 1, left - lo);
}

int split_tree_bits_portable(int nodes, const int* start, const int* half, const int* size,
                             const int* prefix, int M) {
    int bits = 0;
    for (int j = 0; j < nodes; ++j) bits += split_bits_of(start, half, size, prefix, M, j);
    return bits;
}

#ifdef X91_CPU_AVX2
// Eight nodes at a time: the sums by gathers, bin_size from the exponent of
// the range's size as a float (exact below 2^24, which the caller keeps to).
X91_TARGET_AVX2 int split_tree_bits_avx2(int nodes, const int* start, const int* half,
                                         const int* size, const int* prefix, int M) {
    const __m256i m = _mm256_set1_epi32(M);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i two = _mm256_set1_epi32(2);
    __m256i sum = zero;
    int j = 0;
    for (; j + 8 <= nodes; j += 8) {
        const __m256i st = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(start + j));
        const __m256i hf = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(half + j));
        const __m256i sz = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(size + j));
        const __m256i first = _mm256_i32gather_epi32(prefix, st, 4);
        const __m256i total =
            _mm256_sub_epi32(_mm256_i32gather_epi32(prefix, _mm256_add_epi32(st, sz), 4), first);
        const __m256i left =
            _mm256_sub_epi32(_mm256_i32gather_epi32(prefix, _mm256_add_epi32(st, hf), 4), first);
        const __m256i hi = _mm256_min_epi32(total, _mm256_mullo_epi32(m, hf));
        const __m256i lo = _mm256_max_epi32(
            zero, _mm256_sub_epi32(total, _mm256_mullo_epi32(m, _mm256_sub_epi32(sz, hf))));
        const __m256i n = _mm256_add_epi32(_mm256_sub_epi32(hi, lo), one);
        const __m256i value = _mm256_sub_epi32(left, lo);
        // bin_size(n) for n >= 1: the float exponent of n, unbiased, plus one.
        const __m256i s =
            _mm256_sub_epi32(_mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(n)), 23),
                             _mm256_set1_epi32(126));
        const __m256i h = _mm256_sllv_epi32(one, _mm256_sub_epi32(s, one));
        const __m256i low = _mm256_and_si256(_mm256_sub_epi32(_mm256_sub_epi32(n, one), value),
                                             _mm256_sub_epi32(h, one));
        // s bits where low < n − h, else s − 1; none for n < 2.
        const __m256i longer = _mm256_cmpgt_epi32(_mm256_sub_epi32(n, h), low);
        const __m256i bits =
            _mm256_add_epi32(_mm256_sub_epi32(s, one), _mm256_and_si256(longer, one));
        sum = _mm256_add_epi32(sum, _mm256_andnot_si256(_mm256_cmpgt_epi32(two, n), bits));
    }
    alignas(32) int lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), sum);
    int bits = 0;
    for (const int lane : lanes) bits += lane;
    for (; j < nodes; ++j) bits += split_bits_of(start, half, size, prefix, M, j);
    return bits;
}
#endif

}  // namespace

const CpuVariants<int(int, const int*, const int*, const int*, const int*, int)> split_tree_bits = {
    split_tree_bits_portable, X91_AVX2_OR(split_tree_bits_avx2, split_tree_bits_portable)};

}  // namespace x91
