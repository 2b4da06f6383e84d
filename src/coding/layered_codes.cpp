#include "coding/layered_codes.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <memory>
#include <numeric>
#include <vector>

#include "coding/cpu_variants.h"
#include "coding/known_set_reader.h"

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

// write_n0_seq_3 with write_known_set_1 and the sign bits, into one batch.
void write_z_seq(da_BinWriter& out, int const* v, int k) {
    if (k <= 0) return;
    const auto work = std::make_unique_for_overwrite<int[]>(k);
    const auto zeros = std::make_unique_for_overwrite<int[]>(k + 7);
    int smallest = z_seq_magnitudes(v, k, work.get());
    da_BitBatch w(out);
    int c = k;
    for (int layer = 0; c > 0; ++layer) {
        for (; layer < smallest; ++layer) write_rng_num(w, c + 1, 0);
        int kept = 0;
        const int z = z_seq_split_layer(work.get(), c, layer, zeros.get(), kept, smallest);
        write_rng_num(w, c + 1, z);
        write_known_set_1(w, zeros.get(), 0, c - 1, z);
        c = kept;
    }
    z_seq_write_signs(w, v, k);
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
        // The bits that cross into the next word, none when shift is 0: the
        // store is made either way, as whether a part crosses is as good as
        // random.
        words[(pos >> 6) + 1] |= (std::uint64_t{mask} >> 1) >> (63 - shift);
    }
};

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
    int local_index[kLocalValues + 7];
    std::unique_ptr<std::uint64_t[]> heap_marked;
    std::unique_ptr<int[]> heap_index;
    std::uint64_t* marked = local_marked;
    int* index = local_index;
    if (k > kLocalValues) {
        heap_marked = std::make_unique<std::uint64_t[]>(words + 1);
        heap_index = std::make_unique_for_overwrite<int[]>(k + 7);
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
            c = z_seq_remove_marked(marked, index, c, v, layer);
        } else if (layer == 0) {
            std::iota(index, index + k, 0);
        }
    }
    // One sign bit per non-zero value, 1 for negative.
    z_seq_read_signs(r, v, k);
    r.release();
}

}  // namespace x91
