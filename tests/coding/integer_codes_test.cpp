#include "coding/integer_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <numeric>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "coding/alternative_codes.h"
#include "coding/small_set_table.h"
#include "reference_set_reader.h"
#include "support/coding_test_util.h"

namespace x91 {

namespace {

using namespace coding_test;

std::string rng_codeword(int n, int v) {
    auto p = scratch_packet(8);
    da_BinWriter w(*p);
    write_rng_num(w, n, v);
    return bit_string(*p, 0, p->possition());
}

TEST(BinSizeTest, CountsSignificantBits) {
    EXPECT_EQ(bin_size(0), 0);
    EXPECT_EQ(bin_size(-5), 0);
    EXPECT_EQ(bin_size(1), 1);
    EXPECT_EQ(bin_size(8), 4);
    EXPECT_EQ(bin_size(INT_MAX), 31);
    EXPECT_EQ(i_exp2(0), 1);
    EXPECT_EQ(i_exp2(30), 1 << 30);
}

TEST(RangeNumberTest, CodewordsForSmallRanges) {
    const std::vector<std::vector<std::string>> table = {
        {"1", "0"},
        {"01", "1", "00"},
        {"11", "10", "01", "00"},
        {"001", "11", "10", "01", "000"},
        {"011", "001", "11", "10", "010", "000"},
        {"101", "011", "001", "11", "100", "010", "000"},
        {"111", "110", "101", "100", "011", "010", "001", "000"},
    };
    for (int n = 2; n <= 8; ++n)
        for (int v = 0; v < n; ++v) EXPECT_EQ(rng_codeword(n, v), table[n - 2][v]) << n << " " << v;
}

TEST(RangeNumberTest, SingleValueRangeCostsNothing) {
    EXPECT_EQ(rng_codeword(1, 0), "");
    auto p = scratch_packet(4);
    da_BinReader r(*p);
    EXPECT_EQ(read_rng_num(r, 1), 0);
    EXPECT_EQ(read_rng_num(r, 0), -1);
    EXPECT_EQ(r.possition(), 0);
}

TEST(RangeNumberTest, EveryValueRoundTripsInTheFewestBits) {
    auto p = scratch_packet(64);
    for (int n = 2; n <= 600; ++n) {
        const int s = bin_size(n), h = 1 << (s - 1);
        for (int v = 0; v < n; ++v) {
            p->set_possition(0);
            da_BinWriter w(*p);
            write_rng_num(w, n, v);
            const int len = p->possition();
            ASSERT_EQ(len, (v >= n - h && v <= h - 1) ? s - 1 : s) << n << " " << v;
            ASSERT_EQ(rng_num_bits(n, v), len) << n << " " << v;
            p->set_possition(0);
            da_BinReader r(*p);
            ASSERT_EQ(read_rng_num(r, n), v);
            ASSERT_EQ(r.possition(), len);
        }
    }
}

TEST(RangeNumberTest, LargeRangesRoundTrip) {
    SeededRng rng(kSeed);
    auto p = scratch_packet(64);
    for (int i = 0; i < 20000; ++i) {
        const int n = uniform(rng, 2, INT_MAX);
        const int v = uniform(rng, 0, n - 1);
        p->set_possition(0);
        da_BinWriter w(*p);
        write_rng_num(w, n, v);
        const int len = p->possition();
        p->set_possition(0);
        da_BinReader r(*p);
        ASSERT_EQ(read_rng_num(r, n), v) << n;
        ASSERT_EQ(r.possition(), len);
    }
}

TEST(RangeNumberTest, AnyBitsReadAsAValueInRange) {
    for (int n = 2; n <= 300; ++n) {
        const int s = bin_size(n);
        for (int bits = 0; bits < (1 << s); ++bits) {
            auto p = scratch_packet(8, 0);
            da_BinWriter(*p).write(bits, s);
            p->set_possition(0);
            da_BinReader r(*p);
            const int v = read_rng_num(r, n);
            ASSERT_GE(v, 0);
            ASSERT_LT(v, n);
        }
    }
}

std::vector<int> random_set(std::mt19937& rng, int lo, int hi, int k) {
    std::vector<int> all(hi - lo + 1);
    std::iota(all.begin(), all.end(), lo);
    std::shuffle(all.begin(), all.end(), rng);
    all.resize(k);
    std::sort(all.begin(), all.end());
    return all;
}

void expect_valid_set(const std::vector<int>& p, int lo, int hi) {
    for (size_t i = 0; i < p.size(); ++i) {
        ASSERT_GE(p[i], lo);
        ASSERT_LE(p[i], hi);
        if (i > 0) {
            ASSERT_LT(p[i - 1], p[i]);
        }
    }
}

struct SetCoder {
    const char* name;
    SetWriterFn write;
    SetReaderFn read;
};
const SetCoder kSetCoders[] = {{"known_set_1", write_known_set_1, read_known_set_1},
                               {"known_set_2", write_known_set_2, read_known_set_2}};

TEST(KnownSetTest, EmptySetAndFullRangeCostNothing) {
    for (const SetCoder& coder : kSetCoders) {
        SCOPED_TRACE(coder.name);
        auto p = scratch_packet(8);
        da_BinWriter w(*p);
        const std::vector<int> full = {3, 4, 5, 6};
        coder.write(w, full.data(), 3, 6, 4);
        coder.write(w, nullptr, 3, 6, 0);
        EXPECT_EQ(p->possition(), 0);
        da_BinReader r(*p);
        std::vector<int> out(4, -1);
        coder.read(r, out.data(), 3, 6, 4);
        EXPECT_EQ(out, full);
        EXPECT_EQ(r.possition(), 0);
    }
}

TEST(KnownSetTest, MedianSplitWritesTheMiddleElementFirst) {
    // {1} in 0..2: one element over three places, rng_num(3, 1) = "1".
    auto p = scratch_packet(8);
    da_BinWriter w(*p);
    const int set[] = {1};
    write_known_set_1(w, set, 0, 2, 1);
    EXPECT_EQ(bit_string(*p, 0, p->possition()), "1");
    // {0, 2, 3} in 0..3: middle 2 at offset 1 of 2 values ("0"), then {0}
    // in 0..1 ("1"), then {3} in 3..3 (nothing).
    p->set_possition(0);
    const int set3[] = {0, 2, 3};
    write_known_set_1(w, set3, 0, 3, 3);
    EXPECT_EQ(bit_string(*p, 0, p->possition()), "01");
}

TEST(KnownSetTest, RandomSetsRoundTrip) {
    SeededRng rng(kSeed);
    for (const SetCoder& coder : kSetCoders) {
        SCOPED_TRACE(coder.name);
        for (int round = 0; round < 400; ++round) {
            const int lo = uniform(rng, -50, 50);
            const int n = uniform(rng, 1, round < 200 ? 20 : 900);
            const int k = uniform(rng, 0, n);
            const std::vector<int> set = random_set(rng, lo, lo + n - 1, k);
            auto p = scratch_packet(2048);
            da_BinWriter w(*p);
            w.write(5, 3);  // codes need not start on a byte boundary
            coder.write(w, set.data(), lo, lo + n - 1, k);
            const int end = p->possition();
            p->set_possition(3);
            da_BinReader r(*p);
            std::vector<int> out(k);
            coder.read(r, out.data(), lo, lo + n - 1, k);
            ASSERT_EQ(out, set);
            ASSERT_EQ(r.possition(), end);
        }
    }
}

TEST(KnownSetTest, ForeignBitsGiveIncreasingSetsInRange) {
    SeededRng rng(kSeed);
    for (const SetCoder& coder : kSetCoders) {
        SCOPED_TRACE(coder.name);
        for (int round = 0; round < 300; ++round) {
            const int n = uniform(rng, 1, 1000), k = uniform(rng, 0, n);
            auto p = random_packet(rng, uniform(rng, 0, 64));
            da_BinReader r(*p);
            std::vector<int> out(k);
            coder.read(r, out.data(), 10, 10 + n - 1, k);
            expect_valid_set(out, 10, 10 + n - 1);
        }
    }
}

TEST(BoundedSequenceTest, SingleValueOrZeroTotalCostsNothing) {
    auto p = scratch_packet(8);
    da_BinWriter w(*p);
    const int one[] = {7};
    write_n0_seq(w, one, 9, 1);
    const int zeros[] = {0, 0, 0, 0, 0};
    write_n0_seq(w, zeros, 9, 5);
    EXPECT_EQ(p->possition(), 0);
    da_BinReader r(*p);
    int out[5] = {1, 1, 1, 1, 1};
    read_n0_seq(r, out, 9, 1, 7);
    EXPECT_EQ(out[0], 7);
    read_n0_seq(r, out, 9, 5, 0);
    EXPECT_EQ(std::vector<int>(out, out + 5), std::vector<int>(5, 0));
}

TEST(BoundedSequenceTest, RandomSequencesRoundTrip) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 500; ++round) {
        const int k = uniform(rng, 1, 600), M = uniform(rng, 0, round % 2 ? 1 : 40);
        std::vector<int> v(k);
        // Every third round mostly zeros: long empty runs, as in spectra.
        for (int& x : v) x = round % 3 == 0 && uniform(rng, 0, 3) != 0 ? 0 : uniform(rng, 0, M);
        const int S = std::accumulate(v.begin(), v.end(), 0);
        auto p = scratch_packet(4096);
        da_BinWriter w(*p);
        write_n0_seq(w, v.data(), M, k);
        const int end = p->possition();
        ASSERT_EQ(n0_seq_bits(v.data(), M, k), end);
        p->set_possition(0);
        da_BinReader r(*p);
        std::vector<int> out(k);
        read_n0_seq(r, out.data(), M, k, S);
        ASSERT_EQ(out, v);
        ASSERT_EQ(r.possition(), end);
    }
}

// The total's splits as the plain recursion reads them from the packet.
void reference_read_n0_seq(da_BinReader& r, int* v, int M, int k, int S) {
    if (k == 1) v[0] = S;
    if (k <= 1) return;
    const int h = k / 2;
    const int hi = std::min(S, M * h), lo = std::max(0, S - M * (k - h));
    const int SL = lo + read_rng_num(r, hi - lo + 1);
    reference_read_n0_seq(r, v, M, h, SL);
    reference_read_n0_seq(r, v + h, M, k - h, S - SL);
}

TEST(BoundedSequenceTest, ForeignBitsAndTotalsGiveValuesInBounds) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 300; ++round) {
        const int k = uniform(rng, 1, 600), M = uniform(rng, 0, 31);
        const int S = uniform(rng, -100, M * k + 100);
        const int bytes = uniform(rng, 0, 200);
        auto [p, q] = twin_random_packets(rng, bytes);
        da_BinReader r(*p), r_theirs(*q);
        std::vector<int> out(k), theirs(k);
        read_n0_seq(r, out.data(), M, k, S);
        const int want = std::clamp(S, 0, M * k);
        ASSERT_EQ(std::accumulate(out.begin(), out.end(), 0), want);
        for (int x : out) ASSERT_TRUE(x >= 0 && x <= M);
        // The same values, bits and overrun as the recursion.
        reference_read_n0_seq(r_theirs, theirs.data(), M, k, want);
        ASSERT_EQ(out, theirs);
        ASSERT_EQ(r.possition(), r_theirs.possition());
        ASSERT_EQ(r.overran(), r_theirs.overran());
    }
}

TEST(UnboundedNumberTest, RoundTripsIncludingLargeValues) {
    SeededRng rng(kSeed);
    auto p = scratch_packet(256);
    for (int i = 0; i < 3000; ++i) {
        const int m = uniform(rng, 1, i % 3 ? 9 : 100000);
        const int v = i % 2 ? uniform(rng, 0, 50) : uniform(rng, 0, INT_MAX);
        if (m == 1 && v > 50) continue;  // base 1 is unary
        p->set_possition(0);
        da_BinWriter w(*p);
        write_nat0_num(w, m, v);
        const int end = p->possition();
        p->set_possition(0);
        da_BinReader r(*p);
        ASSERT_EQ(read_nat0_num(r, m), v) << m;
        ASSERT_EQ(r.possition(), end);
    }
    p->set_possition(0);
    da_BinWriter w(*p);
    write_nat0_num(w, 3, 0);
    EXPECT_EQ(bit_string(*p, 0, p->possition()), "11");
}

TEST(UnboundedNumberTest, EndsAtTheEndOfForeignBits) {
    // Zero bits read as the largest digit forever; the packet's end must stop
    // the number, and the value must not wrap.
    auto p = scratch_packet(100, 0x00);
    da_BinReader r(*p);
    EXPECT_EQ(read_nat0_num(r, 4), INT_MAX);
    EXPECT_TRUE(r.overran());
    EXPECT_LE(r.possition(), 800 + 3);
}

TEST(StarsAndBarsTest, RoundTripsWithEitherSetCoder) {
    SeededRng rng(kSeed);
    for (const SetCoder& coder : kSetCoders) {
        SCOPED_TRACE(coder.name);
        for (int round = 0; round < 300; ++round) {
            const int k = uniform(rng, 1, 300);
            std::vector<int> v(k);
            for (int& x : v) x = uniform(rng, 0, 1) ? 0 : uniform(rng, 0, 50);
            const int S = std::accumulate(v.begin(), v.end(), 0);
            auto p = scratch_packet(8192);
            da_BinWriter w(*p);
            write_n0_seq_v2(w, v.data(), 0, k, coder.write);
            const int end = p->possition();
            p->set_possition(0);
            da_BinReader r(*p);
            std::vector<int> out(k);
            read_n0_seq_v2(r, out.data(), 0, k, coder.read, S);
            ASSERT_EQ(out, v);
            ASSERT_EQ(r.possition(), end);
        }
    }
}

TEST(StarsAndBarsTest, ForeignBitsGiveNonNegativeValuesWithTheTotal) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 200; ++round) {
        const int k = uniform(rng, 1, 300), S = uniform(rng, 0, 2000);
        auto p = random_packet(rng, uniform(rng, 0, 100));
        da_BinReader r(*p);
        std::vector<int> out(k);
        read_n0_seq_v2(r, out.data(), 0, k, kSetCoders[round % 2].read, S);
        ASSERT_EQ(std::accumulate(out.begin(), out.end(), 0), S);
        for (int x : out) ASSERT_GE(x, 0);
    }
}

// The alternative codes on small worked inputs, one range number per field in
// the order their definitions give.
TEST(AlternativeCodeTest, WorkedBitPatterns) {
    const int one[] = {1}, three[] = {0, 2, 3}, values[] = {2, 0, 1}, residues[] = {0, 3};
    const std::pair<std::function<void(da_BinWriter&)>, std::string> cases[] = {
        // One element over three places: rng_num(3, 1).
        {[&](da_BinWriter& w) { write_known_set_2(w, one, 0, 2, 1); }, "1"},
        // One of the three below the midpoint (1 or 2 can be): rng_num(2, 0);
        // then {0} in 0..1, and {2, 3} fills 2..3 without bits.
        {[&](da_BinWriter& w) { write_known_set_2(w, three, 0, 3, 3); }, "11"},
        // 5 = 2 + 1·3 in bijective base 3: digits 2 and 1, then the end digit.
        {[](da_BinWriter& w) { write_nat0_num(w, 3, 5); }, "011011"},
        // Bars {2, 3} in 0..4 by median split: 3 at offset 2 of 4 values, then
        // 2 at offset 2 of 3.
        {[&](da_BinWriter& w) { write_n0_seq_v2(w, values, 0, 3, write_known_set_1); }, "0100"},
        // Each residue as rng_num(5, value).
        {[&](da_BinWriter& w) { znseq_write0(w, residues, 2, 5); }, "00101"},
    };
    for (const auto& [write, bits] : cases) {
        auto p = scratch_packet(8);
        da_BinWriter w(*p);
        write(w);
        EXPECT_EQ(bit_string(*p, 0, p->possition()), bits);
    }
}

// The median-split coder written as the plain recursion its definition
// states; the library walks the same splits without recursing (the reader's
// recursion is in coding_test_util.h).
void reference_write_set(da_BinWriter& w, const int* p, int lo, int hi, int k) {
    const int n = hi - lo + 1;
    if (k <= 0 || n - k <= 0) return;
    const int m = k / 2;
    write_rng_num(w, n - k + 1, p[m] - lo - m);
    reference_write_set(w, p, lo, p[m] - 1, m);
    reference_write_set(w, p + m + 1, p[m] + 1, hi, k - m - 1);
}

TEST(KnownSetTest, MedianSplitsMatchTheRecursionBitForBit) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 300; ++round) {
        const int lo = uniform(rng, -50, 50);
        const int n = uniform(rng, 1, round < 100 ? 16 : 2000);
        const int k = uniform(rng, 0, n);
        const std::vector<int> set = random_set(rng, lo, lo + n - 1, k);
        auto ours = scratch_packet(4096);
        auto theirs = scratch_packet(4096);
        da_BinWriter w_ours(*ours), w_theirs(*theirs);
        write_known_set_1(w_ours, set.data(), lo, lo + n - 1, k);
        reference_write_set(w_theirs, set.data(), lo, lo + n - 1, k);
        ASSERT_EQ(ours->possition(), theirs->possition());
        ASSERT_EQ(bit_string(*ours, 0, ours->possition()),
                  bit_string(*theirs, 0, theirs->possition()));

        // Foreign bits, including sets that overfill their range.
        const int k_read = uniform(rng, 0, n + 3);
        // Two packets with the same bytes: running past the end marks each.
        const int bytes = uniform(rng, 0, 300);
        auto [bits_ours, bits_theirs] = twin_random_packets(rng, bytes);
        std::vector<int> out_ours(k_read, -7), out_theirs(k_read, -7);
        da_BinReader r_ours(*bits_ours), r_theirs(*bits_theirs);
        read_known_set_1(r_ours, out_ours.data(), lo, lo + n - 1, k_read);
        coding_test::reference_read_set(r_theirs, out_theirs.data(), lo, lo + n - 1, k_read);
        ASSERT_EQ(out_ours, out_theirs);
        ASSERT_EQ(r_ours.possition(), r_theirs.possition());
        ASSERT_EQ(r_ours.overran(), r_theirs.overran());
    }
}

// Parts of up to kSmallSetSpan positions are written from a table: every
// set within a few more positions than that gives the recursion's bits.
TEST(KnownSetTest, TableWrittenPartsMatchTheRecursionForEverySet) {
    for (int n = 1; n <= kSmallSetSpan + 2; ++n)
        for (int mask = 0; mask < 1 << n; ++mask) {
            std::vector<int> set;
            for (int j = 0; j < n; ++j)
                if ((mask >> j) & 1) set.push_back(-4 + j);
            const int k = static_cast<int>(set.size());
            auto ours = scratch_packet(8);
            auto theirs = scratch_packet(8);
            da_BinWriter w_ours(*ours), w_theirs(*theirs);
            write_known_set_1(w_ours, set.data(), -4, -4 + n - 1, k);
            reference_write_set(w_theirs, set.data(), -4, -4 + n - 1, k);
            ASSERT_EQ(bit_string(*ours, 0, ours->possition()),
                      bit_string(*theirs, 0, theirs->possition()))
                << n << " " << mask;
        }
}

// Parts of up to kSmallSetSpan positions are read from a table: every bit
// pattern longer than their longest code, with zeros past the packet's end
// after it, gives what the recursion reads, for every set size and offset.
TEST(KnownSetTest, TableReadPartsMatchTheRecursionForEveryPattern) {
    constexpr int kPatternBits = [] {
        int longest = 0;
        for (const auto& row : small_set_detail::kLongest)
            for (int bits : row) longest = std::max(longest, bits);
        return longest + 1;
    }();
    for (int n = 1; n <= kSmallSetSpan + 2; ++n)
        for (int k = 0; k <= n; ++k)
            for (int pattern = 0; pattern < 1 << kPatternBits; ++pattern) {
                std::vector<std::unique_ptr<da_BinRWBase>> packets;
                for (int copy = 0; copy < 2; ++copy) {
                    packets.push_back(scratch_packet(2, 0));
                    da_BinWriter w(*packets.back());
                    w.write(pattern, kPatternBits);
                }
                da_BinReader r_ours(*packets[0]), r_theirs(*packets[1]);
                std::vector<int> ours(k, -7), theirs(k, -7);
                read_known_set_1(r_ours, ours.data(), 3, 3 + n - 1, k);
                coding_test::reference_read_set(r_theirs, theirs.data(), 3, 3 + n - 1, k);
                ASSERT_EQ(ours, theirs) << n << " " << k << " " << pattern;
                ASSERT_EQ(r_ours.possition(), r_theirs.possition());
                ASSERT_EQ(r_ours.overran(), r_theirs.overran());
            }
}

}  // namespace

}  // namespace x91
