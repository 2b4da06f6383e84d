#include "coding/layered_codes.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <memory>
#include <numeric>
#include <vector>

#include "coding/known_set_reader.h"

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__) && \
    !defined(__SANITIZE_THREAD__)
#include <immintrin.h>
#define LAYER_LANES 1
#define LAYER_DISPATCH __attribute__((target_clones("avx2", "default")))
#else
#define LAYER_DISPATCH
#endif

namespace x91 {

void write_n0_seq_3(da_BinWriter& w, int const* v, int k, SetWriterFn set_coder) {
    if (k <= 0) return;
    // Instead of lowering every value by one per layer, compare with the
    // layer number; layers below the smallest value present remove nothing
    // and need no pass over the values, so only layers that remove something
    // cost a pass.
    std::vector<int> work(v, v + k);
    const auto zeros = std::make_unique_for_overwrite<int[]>(k);
    int c = k;
    int layer = 0;
    int smallest = *std::min_element(work.begin(), work.end());
    while (c > 0) {
        for (; layer < smallest; ++layer) write_rng_num(w, c + 1, 0);
        int z = 0, kept = 0;
        smallest = INT_MAX;
        for (int j = 0; j < c; ++j) {
            if (work[j] <= layer) {
                zeros[z++] = j;
            } else {
                smallest = std::min(smallest, work[j]);
                work[kept++] = work[j];
            }
        }
        write_rng_num(w, c + 1, z);
        set_coder(w, zeros.get(), 0, c - 1, z);
        c = kept;
        ++layer;
    }
}

namespace {

// Positions 0 <= p[0] < p[1] < ... < p[z - 1] < c, as a set coder that reads
// its writer's bits gives them.
bool strictly_increasing_within(const int* p, int z, int c) {
    int previous = -1;
    for (int i = 0; i < z; ++i) {
        if (p[i] <= previous) return false;
        previous = p[i];
    }
    return previous < c;
}

}  // namespace

void read_n0_seq_3(da_BinReader& r, int* v, int k, SetReaderFn set_coder) {
    if (k <= 0) return;
    // index[j] is the output slot of the j-th value still present. A value
    // removed in layer L survived layers 0..L-1, so it is L.
    const auto index_store = std::make_unique_for_overwrite<int[]>(k);
    const auto positions_store = std::make_unique_for_overwrite<int[]>(k);
    int* index = index_store.get();
    int* positions = positions_store.get();
    std::iota(index, index + k, 0);
    int c = k;
    int layer = 0;
    while (c > 0) {
        const int z = read_rng_num(r, c + 1);
        if (z > 0) {
            set_coder(r, positions, 0, c - 1, z);
            if (strictly_increasing_within(positions, z, c)) {
                // The usual case: the values between removed positions move
                // down in runs, and the removed ones are never visited again.
                int kept = 0;
                int from = 0;
                for (int i = 0; i < z; ++i) {
                    const int p = positions[i];
                    v[index[p]] = layer;
                    for (int j = from; j < p; ++j) index[kept++] = index[j];
                    from = p + 1;
                }
                for (int j = from; j < c; ++j) index[kept++] = index[j];
                c = kept;
                ++layer;
                continue;
            }
            // Marking tolerates a set coder that repeats or strays: only
            // distinct positions inside the list are removed.
            int removed = 0;
            for (int i = 0; i < z; ++i) {
                const int p = positions[i];
                if (p < 0 || p >= c || index[p] < 0) continue;
                v[index[p]] = layer;
                index[p] = -1;
                ++removed;
            }
            if (removed > 0) {
                int kept = 0;
                for (int j = 0; j < c; ++j)
                    if (index[j] >= 0) index[kept++] = index[j];
                c = kept;
            }
        }
        ++layer;
    }
}

// Outside the unnamed namespace: its two versions are chosen by the CPU at
// load time, which some compilers do not count as a use.
namespace layered_detail {

// One layer of the writer over the c values present: the positions of those
// not above `layer` go to removed (in order, as many more slots as 7 may be
// written past them), the others move down in work, in order. Returns the
// number removed; kept and the smallest value kept (INT_MAX if none) come
// back through the references.
#ifdef LAYER_LANES
namespace {

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

}  // namespace

__attribute__((target("avx2"))) int split_layer(int* work, int c, int layer, int* removed,
                                                int& kept, int& smallest) {
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
__attribute__((target("default")))
#endif
int split_layer(int* work, int c, int layer, int* removed, int& kept, int& smallest) {
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

// The magnitudes of v into magnitude; returns the smallest.
LAYER_DISPATCH int magnitudes(const int* v, int k, int* magnitude) {
    int smallest = INT_MAX;
    for (int i = 0; i < k; ++i) {
        magnitude[i] = v[i] < 0 ? -v[i] : v[i];
        smallest = std::min(smallest, magnitude[i]);
    }
    return smallest;
}

#ifdef LAYER_LANES
namespace {

// One bit per lane of eight values, set where the value is not zero.
__attribute__((target("avx2"))) unsigned nonzero_lanes(__m256i x) {
    const __m256i zero_lanes = _mm256_cmpeq_epi32(x, _mm256_setzero_si256());
    return ~static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(zero_lanes))) & 0xFFu;
}

}  // namespace
#endif

// One bit per non-zero value of v, in order, 1 for negative. With AVX2,
// eight values are tested at once and blocks of zeros are passed over; the
// bits of a block go out together.
#ifdef LAYER_LANES
__attribute__((target("avx2"))) void sign_bits(da_BitBatch& batch, const int* v, int k) {
    da_BitBatch w = batch;
    int i = 0;
    for (; i + 8 <= k; i += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + i));
        const unsigned nonzero = nonzero_lanes(x);
        if (nonzero == 0) continue;
        const unsigned negative = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(x)));
        int bits = 0, count = 0;
        for (unsigned rest = nonzero; rest != 0; rest &= rest - 1) {
            bits = (bits << 1) | static_cast<int>((negative >> std::countr_zero(rest)) & 1u);
            ++count;
        }
        w.write(bits, count);
    }
    for (; i < k; ++i)
        if (v[i] != 0) w.write(v[i] < 0 ? 1 : 0, 1);
    batch = w;
}
__attribute__((target("default")))
#endif
void sign_bits(da_BitBatch& w, const int* v, int k) {
    for (int i = 0; i < k; ++i)
        if (v[i] != 0) w.write(v[i] < 0 ? 1 : 0, 1);
}

// Reads one bit per non-zero value of v, in order, and negates the value
// where it is 1. With AVX2 a block of eight values takes its bits at once:
// lane t takes the bit after as many bits as there are non-zero lanes below
// it, and zero lanes take none.
#ifdef LAYER_LANES
namespace {

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

}  // namespace

__attribute__((target("avx2"))) void read_sign_bits(da_BitWindow& window, int* v, int k) {
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
__attribute__((target("default")))
#endif
void read_sign_bits(da_BitWindow& r, int* v, int k) {
    for (int i = 0; i < k; ++i)
        if (v[i] != 0 && r.read(1) == 1) v[i] = -v[i];
}

}  // namespace layered_detail

// write_n0_seq_3 with write_known_set_1 and the sign bits, into one batch.
void write_z_seq(da_BinWriter& out, int const* v, int k) {
    if (k <= 0) return;
    const auto work = std::make_unique_for_overwrite<int[]>(k);
    const auto zeros = std::make_unique_for_overwrite<int[]>(k + 7);
    int smallest = layered_detail::magnitudes(v, k, work.get());
    da_BitBatch w(out);
    int c = k;
    for (int layer = 0; c > 0; ++layer) {
        for (; layer < smallest; ++layer) write_rng_num(w, c + 1, 0);
        int kept = 0;
        const int z =
            layered_detail::split_layer(work.get(), c, layer, zeros.get(), kept, smallest);
        write_rng_num(w, c + 1, z);
        write_known_set_1(w, zeros.get(), 0, c - 1, z);
        c = kept;
    }
    layered_detail::sign_bits(w, v, k);
    w.flush();
}

namespace {

// A set as bits: position j is bit j % 64 of word j / 64. The word after the
// last one used must exist (a small part may touch it, with zero bits only).
struct MaskSink {
    std::uint64_t* words;
    void median(int, int pos) { words[pos >> 6] |= std::uint64_t{1} << (pos & 63); }
    void run(int, int pos, int count) {
        for (const int end = pos + count; pos < end;) {
            const int shift = pos & 63;
            const int bits = std::min(64 - shift, end - pos);
            const std::uint64_t ones =
                bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
            words[pos >> 6] |= ones << shift;
            pos += bits;
        }
    }
    void small(int, int pos, std::uint32_t mask) {
        const int shift = pos & 63;
        words[pos >> 6] |= std::uint64_t{mask} << shift;
        if (shift > 64 - kSmallSetSpan)
            words[(pos >> 6) + 1] |= std::uint64_t{mask} >> (64 - shift);
    }
};

// Removes the marked values from the c still present (index holds their
// output slots), giving the removed ones the layer number, and clears the
// marks for the next layer; returns how many values are left. In layer 0 the
// slots are the positions themselves, and every value is set to 0 (the ones
// left get their layer later).
template <bool kFirstLayer>
int remove_marked(std::uint64_t* marked, int* index, int c, int* v, int layer) {
    int kept = 0;
    for (int base = 0; base < c; base += 64) {
        std::uint64_t removed = marked[base >> 6];
        marked[base >> 6] = 0;
        const int span = std::min(64, c - base);
        std::uint64_t keep =
            ~removed & (span == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << span) - 1);
        if constexpr (kFirstLayer) {
            std::fill(v + base, v + base + span, 0);
            for (; keep != 0; keep &= keep - 1) index[kept++] = base + std::countr_zero(keep);
        } else {
            for (; removed != 0; removed &= removed - 1)
                v[index[base + std::countr_zero(removed)]] = layer;
            for (; keep != 0; keep &= keep - 1)
                index[kept++] = index[base + std::countr_zero(keep)];
        }
    }
    return kept;
}

}  // namespace

// read_n0_seq_3 with read_known_set_1 and the sign bits, on one bit window:
// each layer's set is marked in a bit array and the values left are found
// from its words.
void read_z_seq(da_BinReader& in, int* v, int k) {
    if (k <= 0) return;
    da_BitWindow r(in);
    // Scratch on the stack for spectra of any line count in use, else on
    // the heap; the marks start cleared.
    constexpr int kLocalValues = 1792;
    const int words = (k + 63) / 64;
    std::uint64_t local_marked[kLocalValues / 64 + 1] = {};
    int local_index[kLocalValues];
    std::unique_ptr<std::uint64_t[]> heap_marked;
    std::unique_ptr<int[]> heap_index;
    std::uint64_t* marked = local_marked;
    int* index = local_index;
    if (k > kLocalValues) {
        heap_marked = std::make_unique<std::uint64_t[]>(words + 1);
        heap_index = std::make_unique_for_overwrite<int[]>(k);
        marked = heap_marked.get();
        index = heap_index.get();
    }
    int c = k;
    for (int layer = 0; c > 0; ++layer) {
        const int z = read_rng_num(r, c + 1);
        if (z == c) {
            // The last layer: its set is full and takes no bits.
            if (layer == 0)
                std::fill(v, v + k, 0);
            else
                for (int j = 0; j < c; ++j) v[index[j]] = layer;
            c = 0;
        } else if (z > 0) {
            read_known_set_parts(r, c, z, MaskSink{marked});
            c = layer == 0 ? remove_marked<true>(marked, index, c, v, layer)
                           : remove_marked<false>(marked, index, c, v, layer);
        } else if (layer == 0) {
            std::iota(index, index + k, 0);
        }
    }
    // One sign bit per non-zero value, 1 for negative.
    layered_detail::read_sign_bits(r, v, k);
    r.release();
}

}  // namespace x91
