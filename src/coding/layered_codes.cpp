#include "coding/layered_codes.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <numeric>
#include <vector>

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

void write_z_seq(da_BinWriter& w, int const* v, int k) {
    if (k <= 0) return;
    const auto magnitude = std::make_unique_for_overwrite<int[]>(k);
    for (int i = 0; i < k; ++i) magnitude[i] = v[i] < 0 ? -v[i] : v[i];
    write_n0_seq_3(w, magnitude.get(), k, write_known_set_1);
    da_BitBatch signs(w);
    for (int i = 0; i < k; ++i)
        if (v[i] != 0) signs.write(v[i] < 0 ? 1 : 0, 1);
    signs.flush();
}

void read_z_seq(da_BinReader& r, int* v, int k) {
    if (k <= 0) return;
    read_n0_seq_3(r, v, k, read_known_set_1);
    da_BitWindow signs(r);
    for (int i = 0; i < k; ++i)
        if (v[i] != 0 && signs.read(1) == 1) v[i] = -v[i];
    signs.release();
}

}  // namespace x91
