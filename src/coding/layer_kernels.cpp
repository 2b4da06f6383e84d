// The per-value loops of the layered code for signed sequences, in a
// portable build and an AVX2 build that agree bit for bit.
#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>

#include "coding/cpu_variants.h"

#ifdef X91_CPU_AVX2
#include <immintrin.h>
#endif

namespace x91 {

namespace {

int split_layer_portable(int* work, int c, int layer, int* removed, int& kept, int& smallest) {
    int z = 0, left = 0, least = INT_MAX;
    for (int j = 0; j < c; ++j) {
        const int value = work[j];
        const bool gone = value <= layer;
        removed[z] = j;
        z += gone ? 1 : 0;
        work[left] = value;
        left += gone ? 0 : 1;
        least = std::min(least, gone ? INT_MAX : value);
    }
    kept = left;
    smallest = least;
    return z;
}

int magnitudes(const int* v, int k, int* magnitude) {
    int smallest = INT_MAX;
    for (int i = 0; i < k; ++i) {
        magnitude[i] = v[i] < 0 ? -v[i] : v[i];
        smallest = std::min(smallest, magnitude[i]);
    }
    return smallest;
}

void write_signs_portable(da_BitBatch& w, const int* v, int k) {
    for (int i = 0; i < k; ++i)
        if (v[i] != 0) w.write(v[i] < 0 ? 1 : 0, 1);
}

void read_signs_portable(da_BitWindow& r, int* v, int k) {
    for (int i = 0; i < k; ++i)
        if (v[i] != 0 && r.read(1) == 1) v[i] = -v[i];
}

// Bit by bit through the words of marks; the values kept move down in order.
int remove_marked_portable(std::uint64_t* marked, int* index, int c, int* v, int layer) {
    const bool first = layer == 0;
    if (first) std::fill(v, v + c, 0);
    int kept = 0;
    for (int base = 0; base < c; base += 64) {
        const std::uint64_t removed = marked[base >> 6];
        marked[base >> 6] = 0;
        const int span = std::min(64, c - base);
        std::uint64_t keep =
            ~removed & (span == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << span) - 1);
        if (first) {
            for (; keep != 0; keep &= keep - 1) index[kept++] = base + std::countr_zero(keep);
        } else {
            for (int j = base; j < base + span; ++j) v[index[j]] = layer;
            for (; keep != 0; keep &= keep - 1)
                index[kept++] = index[base + std::countr_zero(keep)];
        }
    }
    return kept;
}

#ifdef X91_CPU_AVX2

// A byte for each of eight lanes under every 8-bit lane mask, built at
// compile time.
struct LaneTable {
    std::uint8_t lane[256][8];
};

// For each 8-bit mask, the lanes whose bit is set, in order, then the rest.
constexpr LaneTable make_lane_order() {
    LaneTable t{};
    for (int mask = 0; mask < 256; ++mask) {
        int out = 0;
        for (int lane = 0; lane < 8; ++lane)
            if ((mask >> lane) & 1) t.lane[mask][out++] = static_cast<std::uint8_t>(lane);
        for (int lane = 0; lane < 8; ++lane)
            if (!((mask >> lane) & 1)) t.lane[mask][out++] = static_cast<std::uint8_t>(lane);
    }
    return t;
}
constexpr LaneTable kLaneOrder = make_lane_order();

// For each mask of non-zero lanes: how far its bits are shifted down for
// each lane, the first non-zero lane taking the highest; 32 for zero lanes.
constexpr LaneTable make_sign_shifts() {
    LaneTable t{};
    for (int mask = 0; mask < 256; ++mask) {
        const int count = __builtin_popcount(static_cast<unsigned>(mask));
        int rank = 0;
        for (int lane = 0; lane < 8; ++lane)
            t.lane[mask][lane] =
                static_cast<std::uint8_t>((mask >> lane) & 1 ? count - 1 - rank++ : 32);
    }
    return t;
}
constexpr LaneTable kSignShifts = make_sign_shifts();

// For four lanes, indexed by their non-zero mask times 16 plus their sign
// bits: the sign bits of the non-zero lanes, the first lane's the highest,
// with their count from bit 4 on.
struct SignPackTable {
    std::uint8_t packed[256];
};
constexpr SignPackTable make_sign_pack() {
    SignPackTable t{};
    for (int nonzero = 0; nonzero < 16; ++nonzero)
        for (int negative = 0; negative < 16; ++negative) {
            int bits = 0, count = 0;
            for (int lane = 0; lane < 4; ++lane)
                if ((nonzero >> lane) & 1) {
                    bits = (bits << 1) | ((negative >> lane) & 1);
                    ++count;
                }
            t.packed[nonzero * 16 + negative] = static_cast<std::uint8_t>(bits | count << 4);
        }
    return t;
}
constexpr SignPackTable kSignPack = make_sign_pack();

// Eight values at a time: the lanes that stay and those that go are packed
// to the front of two permutations, stored whole at the ends of the lists.
X91_TARGET_AVX2 int split_layer_avx2(int* work, int c, int layer, int* removed, int& kept,
                                     int& smallest) {
    int z = 0, left = 0, j = 0;
    const __m256i level = _mm256_set1_epi32(layer);
    const __m256i step = _mm256_set1_epi32(8);
    __m256i position = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i low = _mm256_set1_epi32(INT_MAX);
    for (; j + 8 <= c; j += 8) {
        const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(work + j));
        const __m256i above = _mm256_cmpgt_epi32(value, level);
        const int stay = _mm256_movemask_ps(_mm256_castsi256_ps(above));
        const int go = ~stay & 0xFF;
        const __m256i go_order = _mm256_cvtepu8_epi32(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLaneOrder.lane[go])));
        const __m256i stay_order = _mm256_cvtepu8_epi32(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLaneOrder.lane[stay])));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(removed + z),
                            _mm256_permutevar8x32_epi32(position, go_order));
        // Writes at most up to lane j + 7, all of which are loaded already.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(work + left),
                            _mm256_permutevar8x32_epi32(value, stay_order));
        low = _mm256_min_epi32(low, _mm256_blendv_epi8(_mm256_set1_epi32(INT_MAX), value, above));
        z += __builtin_popcount(static_cast<unsigned>(go));
        left += __builtin_popcount(static_cast<unsigned>(stay));
        position = _mm256_add_epi32(position, step);
    }
    alignas(32) int lows[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lows), low);
    int least = INT_MAX;
    for (int lane : lows) least = std::min(least, lane);
    for (; j < c; ++j) {
        const int value = work[j];
        if (value <= layer) {
            removed[z++] = j;
        } else {
            work[left++] = value;
            least = std::min(least, value);
        }
    }
    kept = left;
    smallest = least;
    return z;
}

// One bit per lane of eight values, set where the value is not zero.
X91_TARGET_AVX2 unsigned nonzero_lanes(__m256i x) {
    const __m256i zero_lanes = _mm256_cmpeq_epi32(x, _mm256_setzero_si256());
    return ~static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(zero_lanes))) & 0xFFu;
}

// Eight values are tested at once and blocks of zeros are passed over; the
// bits of a block are packed by table and go out together.
X91_TARGET_AVX2 void write_signs_avx2(da_BitBatch& batch, const int* v, int k) {
    da_BitBatch w = batch;
    int i = 0;
    for (; i + 8 <= k; i += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + i));
        const unsigned nonzero = nonzero_lanes(x);
        if (nonzero == 0) continue;
        const unsigned negative = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(x)));
        // Lanes 0-3 and 4-7 packed by table, the first four ahead.
        const unsigned low = kSignPack.packed[(nonzero & 15u) << 4 | (negative & 15u)];
        const unsigned high = kSignPack.packed[(nonzero >> 4) << 4 | (negative >> 4)];
        const unsigned high_count = high >> 4;
        w.write(static_cast<int>((low & 15u) << high_count | (high & 15u)),
                static_cast<int>((low >> 4) + high_count));
    }
    for (; i < k; ++i)
        if (v[i] != 0) w.write(v[i] < 0 ? 1 : 0, 1);
    batch = w;
}

// A block of eight values takes its bits at once: lane t takes the bit after
// as many bits as there are non-zero lanes below it, and zero lanes take none.
X91_TARGET_AVX2 void read_signs_avx2(da_BitWindow& window, int* v, int k) {
    da_BitWindow r = window;
    int i = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi32(1);
    for (; i + 8 <= k; i += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + i));
        const unsigned nonzero = nonzero_lanes(x);
        if (nonzero == 0) continue;
        const int count = std::popcount(nonzero);
        const std::uint32_t bits = r.peek(count);
        r.skip(count);
        const __m256i shift = _mm256_cvtepu8_epi32(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kSignShifts.lane[nonzero])));
        const __m256i negative = _mm256_and_si256(
            _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int>(bits)), shift), one);
        // x or −x: (x xor −1) + 1 where the bit is 1.
        const __m256i flipped = _mm256_xor_si256(x, _mm256_sub_epi32(zero, negative));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(v + i), _mm256_add_epi32(flipped, negative));
    }
    for (; i < k; ++i)
        if (v[i] != 0 && r.read(1) == 1) v[i] = -v[i];
    window = r;
}

// Eight values at a time, without a branch on the marks: the slots kept are
// packed to the front of a permutation and stored whole at the end of the
// list, which never passes the eight slots just read. Every value present
// takes the layer number first, so the ones that leave need no search.
X91_TARGET_AVX2 int remove_marked_avx2(std::uint64_t* marked, int* index, int c, int* v,
                                       int layer) {
    const bool first = layer == 0;
    int kept = 0;
    for (int base = 0; base < c; base += 64) {
        const std::uint64_t removed = marked[base >> 6];
        marked[base >> 6] = 0;
        const int span = std::min(64, c - base);
        const std::uint64_t keep =
            ~removed & (span == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << span) - 1);
        if (!first)
            for (int j = base; j < base + span; ++j) v[index[j]] = layer;
        for (int b = 0; b < span; b += 8) {
            const unsigned lanes = static_cast<unsigned>(keep >> b) & 0xFFu;
            const __m256i order = _mm256_cvtepu8_epi32(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kLaneOrder.lane[lanes])));
            const __m256i slots =
                first ? _mm256_add_epi32(order, _mm256_set1_epi32(base + b))
                      : _mm256_permutevar8x32_epi32(
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index + base + b)),
                            order);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(index + kept), slots);
            kept += std::popcount(lanes);
            // Layer 0's zeros, eight at a time beside the slots.
            if (first && b + 8 <= span)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(v + base + b),
                                    _mm256_setzero_si256());
            else if (first)
                std::fill(v + base + b, v + base + span, 0);
        }
    }
    return kept;
}

#endif

}  // namespace

const CpuVariants<int(std::uint64_t*, int*, int, int*, int)> z_seq_remove_marked = {
    remove_marked_portable, X91_AVX2_OR(remove_marked_avx2, remove_marked_portable)};
const CpuVariants<int(int*, int, int, int*, int&, int&)> z_seq_split_layer = {
    split_layer_portable, X91_AVX2_OR(split_layer_avx2, split_layer_portable)};
const CpuVariants<int(const int*, int, int*)> z_seq_magnitudes = cpu_variants_of<magnitudes>;
const CpuVariants<void(da_BitBatch&, const int*, int)> z_seq_write_signs = {
    write_signs_portable, X91_AVX2_OR(write_signs_avx2, write_signs_portable)};
const CpuVariants<void(da_BitWindow&, int*, int)> z_seq_read_signs = {
    read_signs_portable, X91_AVX2_OR(read_signs_avx2, read_signs_portable)};

}  // namespace x91
