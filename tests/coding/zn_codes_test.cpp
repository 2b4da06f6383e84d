#include "coding/zn_codes.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "coding/alternative_codes.h"
#include "support/coding_test_util.h"

namespace x91 {

namespace {

using namespace coding_test;

TEST(ResidueTest, AddWrapsIntoTheRing) {
    int x = 0;
    add_to_zn(x, -1, 32);
    EXPECT_EQ(x, 31);
    add_to_zn(x, 33, 32);
    EXPECT_EQ(x, 0);
    x = 5;
    add_to_zn(x, -31 * 100, 32);
    EXPECT_EQ(x, (5 + 3200 - 3100) % 32);
}

TEST(ResidueTest, ZigzagFoldsBothSidesOfZero) {
    std::vector<int> v = {0, 1, 2, 3, 4, 5, 6, 7};
    zn_zton_bij(v.data(), 8, 8);
    EXPECT_EQ(v, (std::vector<int>{0, 2, 4, 6, 7, 5, 3, 1}));
    std::vector<int> w = {16, 31};
    zn_zton_bij(w.data(), 2, 32);
    EXPECT_EQ(w, (std::vector<int>{31, 1}));
    zn_ntoz_bij(w.data(), 2, 32);
    EXPECT_EQ(w, (std::vector<int>{16, 31}));
    std::vector<int> bit = {0, 1};
    zn_zton_bij(bit.data(), 2, 2);
    EXPECT_EQ(bit, (std::vector<int>{0, 1}));
}

TEST(ResidueTest, ZigzagIsABijectionForEveryModulus) {
    for (int n = 1; n <= 70; ++n) {
        std::vector<int> v(n);
        for (int i = 0; i < n; ++i) v[i] = i;
        zn_zton_bij(v.data(), n, n);
        std::vector<bool> seen(n, false);
        for (int t : v) {
            ASSERT_TRUE(t >= 0 && t < n && !seen[t]) << n;
            seen[t] = true;
        }
        zn_ntoz_bij(v.data(), n, n);
        for (int i = 0; i < n; ++i) ASSERT_EQ(v[i], i);
    }
}

using SeqWriter = void (*)(da_BinWriter&, int const*, int, int);
using SeqReader = void (*)(da_BinReader&, int*, int, int);
struct SeqCode {
    const char* name;
    SeqWriter write;
    SeqReader read;
};
const SeqCode kSeqCodes[] = {{"znseq0", znseq_write0, znseq_read0},
                             {"znseq1", znseq_write1, znseq_read1},
                             {"znseq2", znseq_write2, znseq_read2}};

TEST(ResidueSequenceTest, RandomSequencesRoundTrip) {
    SeededRng rng(kSeed);
    for (const SeqCode& code : kSeqCodes) {
        SCOPED_TRACE(code.name);
        for (int round = 0; round < 300; ++round) {
            const int n = uniform(rng, 1, 64), k = uniform(rng, 0, 520);
            std::vector<int> v(k);
            for (int& x : v) x = uniform(rng, 0, n - 1);
            const std::vector<int> input = v;
            auto p = scratch_packet(32);
            da_BinWriter w(*p);
            code.write(w, v.data(), k, n);
            ASSERT_EQ(v, input) << "writers leave their input alone";
            const int end = p->possition();
            p->set_possition(0);
            da_BinReader r(*p);
            std::vector<int> out(k, -1);
            code.read(r, out.data(), k, n);
            ASSERT_EQ(out, v);
            ASSERT_EQ(r.possition(), end);
        }
    }
}

TEST(ResidueSequenceTest, TotalComesFirstThenTheSplit) {
    // Two zero residues mod 4: the total 0 over 2 * 3 + 1 = 7 values.
    auto p = scratch_packet(8);
    da_BinWriter w(*p);
    const int zeros[] = {0, 0};
    znseq_write2(w, zeros, 2, 4);
    // rng_num(7, 0) = "101"; the split of total 0 costs nothing.
    EXPECT_EQ(coding_test::bit_string(*p, 0, p->possition()), "101");
}

TEST(ResidueSequenceTest, ForeignBitsGiveResidues) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 300; ++round) {
        const SeqCode& code = kSeqCodes[round % std::size(kSeqCodes)];
        const int n = uniform(rng, 1, 64), k = uniform(rng, 0, 520);
        auto p = random_packet(rng, uniform(rng, 0, 100));
        da_BinReader r(*p);
        std::vector<int> out(k, -1);
        code.read(r, out.data(), k, n);
        for (int x : out) ASSERT_TRUE(x >= 0 && x < n) << code.name << " " << x;
    }
}

}  // namespace

}  // namespace x91
