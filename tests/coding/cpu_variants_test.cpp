#include "coding/cpu_variants.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/build_comparison.h"
#include "support/coding_test_util.h"

namespace x91 {

namespace {

using namespace build_comparison;

// Signed values with runs of zeros, so that blocks of eight are passed over
// whole as well as mixed.
std::vector<int> signed_values(Inputs& in, int k) {
    std::vector<int> v = in.ints(k, -20, 20);
    for (int& x : v)
        if (in.count(0, 2) == 0) x = 0;
    return v;
}

// Residues mod n, or at times a row with values outside them, which takes
// the entry-by-entry way.
std::vector<int> residues_mostly(Inputs& in, int count, int n) {
    return in.ints(count, in.count(0, 3) == 0 ? -3 * n : 0, n - 1);
}

const Case kCases[] = {
    {"z_seq_split_layer",
     [](CpuLevel level, Inputs& in) {
         const int c = in.count(0, 200);
         std::vector<int> work = in.ints(c, 0, 12), removed(c + 7);
         int kept = -1, smallest = -1;
         const int z = z_seq_split_layer.at(level)(work.data(), c, in.count(0, 12), removed.data(),
                                                   kept, smallest);
         // Only the counted entries of each list are defined.
         removed.resize(z);
         work.resize(kept);
         return bytes_of(z, kept, smallest, removed, work);
     }},
    {"z_seq_magnitudes",
     [](CpuLevel level, Inputs& in) {
         const int k = in.count(0, 200);
         const std::vector<int> v = in.ints(k, -1000, 1000);
         std::vector<int> magnitude(k);
         const int smallest = z_seq_magnitudes.at(level)(v.data(), k, magnitude.data());
         return bytes_of(smallest, magnitude);
     }},
    {"z_seq_write_signs",
     [](CpuLevel level, Inputs& in) {
         const int k = in.count(0, 200);
         const std::vector<int> v = signed_values(in, k);
         auto packet = coding_test::scratch_packet(64);
         da_BinWriter writer(*packet);
         da_BitBatch batch(writer);
         z_seq_write_signs.at(level)(batch, v.data(), k);
         batch.flush();
         const unsigned char* bits = packet->data();
         return bytes_of(packet->possition(), std::vector<unsigned char>(bits, bits + 64));
     }},
    {"z_seq_read_signs",
     [](CpuLevel level, Inputs& in) {
         const int k = in.count(0, 200);
         std::vector<int> v = signed_values(in, k);
         auto packet = coding_test::random_packet(in.rng(), 16);
         da_BinReader reader(*packet);
         da_BitWindow window(reader);
         z_seq_read_signs.at(level)(window, v.data(), k);
         window.release();
         return bytes_of(reader.possition(), v);
     }},
    {"z_seq_remove_marked",
     [](CpuLevel level, Inputs& in) {
         // c values present in slots of a longer output; marks only within c.
         const int c = in.count(1, 200), k = c + in.count(0, 20), layer = in.count(0, 3);
         std::vector<int> v = in.ints(k, -5, 5), index = in.ints(c + 7, 0, k - 1);
         std::vector<std::uint64_t> marked((c + 63) / 64 + 1);
         for (int j = 0; j < c; ++j)
             if (in.count(0, 3) == 0) marked[j >> 6] |= std::uint64_t{1} << (j & 63);
         const int kept =
             z_seq_remove_marked.at(level)(marked.data(), index.data(), c, v.data(), layer);
         index.resize(kept);  // only the slots kept are defined
         return bytes_of(kept, index, v, marked);
     }},
    {"zn_subtract_row",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 40), n = in.count(1, 40);
         std::vector<int> a = residues_mostly(in, count, n);
         const std::vector<int> b = residues_mostly(in, count, n);
         zn_subtract_row.at(level)(a.data(), b.data(), count, n);
         return bytes_of(a);
     }},
    {"zn_differences_along",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 40), n = in.count(1, 40);
         std::vector<int> row = residues_mostly(in, count, n);
         zn_differences_along.at(level)(row.data(), count, n);
         return bytes_of(row);
     }},
    {"split_tree_bits",
     [](CpuLevel level, Inputs& in) {
         const int k = in.count(2, 300), M = in.count(0, 200);
         std::vector<int> v = in.ints(k, 0, M), prefix(k + 1), start, half, size;
         for (int& x : v)
             if (in.count(0, 2) == 0) x = in.count(0, 1) * M;  // empty and full runs
         for (int i = 0; i < k; ++i) prefix[i + 1] = prefix[i] + v[i];
         auto add = [&](auto& self, int first, int n) -> void {
             if (n <= 1) return;
             start.push_back(first);
             half.push_back(n / 2);
             size.push_back(n);
             self(self, first, n / 2);
             self(self, first + n / 2, n - n / 2);
         };
         add(add, 0, k);
         return bytes_of(split_tree_bits.at(level)(static_cast<int>(start.size()), start.data(),
                                                   half.data(), size.data(), prefix.data(), M));
     }},
};

class CodingBuildsTest : public BuildsTest {};

TEST_P(CodingBuildsTest, PortableAndAvx2GiveTheSameBytes) {
    expect_builds_agree(GetParam(), 2047u);
}

INSTANTIATE_TEST_SUITE_P(Loops, CodingBuildsTest, testing::ValuesIn(kCases), case_name);

}  // namespace

}  // namespace x91
