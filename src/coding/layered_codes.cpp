#include "coding/layered_codes.h"

#include <algorithm>
#include <climits>
#include <numeric>
#include <vector>

void write_n0_seq_3(da_BinWriter& w, int const* v, int k, SetWriterFn set_coder) {
    if (k <= 0) return;
    // Instead of lowering every value by one per layer, compare with the
    // layer number; layers below the smallest value present remove nothing
    // and need no pass over the values, so only layers that remove something
    // cost a pass.
    std::vector<int> work(v, v + k);
    std::vector<int> zeros(k);
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
        set_coder(w, zeros.data(), 0, c - 1, z);
        c = kept;
        ++layer;
    }
}

void read_n0_seq_3(da_BinReader& r, int* v, int k, SetReaderFn set_coder) {
    if (k <= 0) return;
    // index[j] is the output slot of the j-th value still present. A value
    // removed in layer L survived layers 0..L-1, so it is L.
    std::vector<int> index(k);
    std::iota(index.begin(), index.end(), 0);
    std::vector<int> positions(k);
    int c = k;
    int layer = 0;
    while (c > 0) {
        const int z = read_rng_num(r, c + 1);
        if (z > 0) {
            set_coder(r, positions.data(), 0, c - 1, z);
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
    std::vector<int> magnitude(k);
    for (int i = 0; i < k; ++i) magnitude[i] = v[i] < 0 ? -v[i] : v[i];
    write_n0_seq_3(w, magnitude.data(), k, write_known_set_1);
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
