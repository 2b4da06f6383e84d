#include "coding/layered_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "coding/alternative_codes.h"
#include "reference_set_reader.h"
#include "support/coding_test_util.h"

namespace x91 {

namespace {

using namespace coding_test;

std::string z_seq_bits(const std::vector<int>& v) {
    auto p = scratch_packet(64);
    da_BinWriter w(*p);
    write_z_seq(w, v.data(), static_cast<int>(v.size()));
    return bit_string(*p, 0, p->possition());
}

TEST(SignedSequenceTest, WorkedExamples) {
    EXPECT_EQ(z_seq_bits({2, 0, -1}), "10110001");
    EXPECT_EQ(z_seq_bits({0}), "0");
    EXPECT_EQ(z_seq_bits({0, 0, 0, 0}), "000");
    EXPECT_EQ(z_seq_bits({1}), "100");
    EXPECT_EQ(z_seq_bits({-1}), "101");
}

TEST(SignedSequenceTest, SilentSpectrumTakesTenBits) {
    EXPECT_EQ(z_seq_bits(std::vector<int>(800, 0)), "0000000000");
}

std::vector<int> laplacian(std::mt19937& rng, int k, double scale, int peaks) {
    std::exponential_distribution<double> mag(1.0 / scale);
    std::vector<int> v(k);
    for (int& x : v) x = static_cast<int>(mag(rng)) * (rng() & 1 ? -1 : 1);
    for (int i = 0; i < peaks; ++i) v[uniform(rng, 0, k - 1)] = uniform(rng, -3000, 3000);
    return v;
}

// v, written after a bit of 1 or at the start, reads back whole and ends
// where the writer did.
void expect_round_trip(const std::vector<int>& v, bool after_a_bit) {
    const int k = static_cast<int>(v.size());
    auto p = scratch_packet(64);  // small on purpose: the writer has to grow it
    da_BinWriter w(*p);
    const int lead = after_a_bit ? 1 : 0;
    if (after_a_bit) w.write(1, 1);
    write_z_seq(w, v.data(), k);
    const int end = p->possition();
    p->set_possition(lead);
    da_BinReader r(*p);
    std::vector<int> out(k, 12345);
    read_z_seq(r, out.data(), k);
    EXPECT_EQ(out, v) << k;
    EXPECT_EQ(r.possition(), end) << k;
    EXPECT_FALSE(r.overran()) << k;
}

TEST(SignedSequenceTest, RandomSequencesRoundTrip) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 200; ++round) {
        const int k = uniform(rng, 1, 900);
        expect_round_trip(laplacian(rng, k, uniform(rng, 0, 8) * 0.5 + 0.1, round % 4), true);
        if (HasFailure()) return;
    }
}

// Lengths at and beyond the reader's scratch on the stack take its heap
// scratch, with the same room past the values the layer kernels write into.
TEST(SignedSequenceTest, LongSequencesRoundTrip) {
    SeededRng rng(kSeed);
    for (const int k : {1792, 1793, 1800, 3001})
        expect_round_trip(laplacian(rng, k, 1.5, 3), false);
}

TEST(LayeredSequenceTest, RoundTripsWithEitherSetCoder) {
    SeededRng rng(kSeed);
    const std::pair<SetWriterFn, SetReaderFn> coders[] = {{write_known_set_1, read_known_set_1},
                                                          {write_known_set_2, read_known_set_2}};
    for (int round = 0; round < 200; ++round) {
        const auto [wr, rd] = coders[round % 2];
        const int k = uniform(rng, 1, 300);
        std::vector<int> v(k);
        for (int& x : v) x = uniform(rng, 0, 3) ? uniform(rng, 0, 3) : uniform(rng, 0, 200);
        auto p = scratch_packet(16);
        da_BinWriter w(*p);
        write_n0_seq_3(w, v.data(), k, wr);
        const int end = p->possition();
        p->set_possition(0);
        da_BinReader r(*p);
        std::vector<int> out(k, -1);
        read_n0_seq_3(r, out.data(), k, rd);
        ASSERT_EQ(out, v);
        ASSERT_EQ(r.possition(), end);
    }
}

TEST(LayeredSequenceTest, ZeroBitsPastTheEndRemoveEverythingLeft) {
    da_BinRWBase p(nullptr, 0, false);
    da_BinReader r(p);
    std::vector<int> out(800, 9);
    read_n0_seq_3(r, out.data(), 800, read_known_set_1);
    EXPECT_EQ(out, std::vector<int>(800, 0));
    EXPECT_EQ(r.possition(), 10);
    EXPECT_TRUE(r.overran());
}

// Foreign bits end the code within the packet's bits plus one layer per
// value, and every magnitude is a layer number, so never above that bound.
// Past the end, what is still read is at most one set of positions (a range
// number per value) and the sign bits.
TEST(LayeredSequenceTest, ForeignBitsEndWithinTheirOwnLength) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 300; ++round) {
        const int bytes = uniform(rng, 0, 300), k = uniform(rng, 1, 800);
        auto p = random_packet(rng, bytes);
        if (round % 3 == 0)  // long runs of layers that remove nothing
            for (int i = 0; i < bytes; ++i) p->data()[i] |= 0x55;
        da_BinReader r(*p);
        std::vector<int> out(k, -1);
        read_z_seq(r, out.data(), k);
        const int bound = bytes * 8 + k;
        for (int x : out) ASSERT_TRUE(x >= -bound && x <= bound) << x;
        ASSERT_LE(r.possition(), bytes * 8 + 32 + k * (bin_size(k) + 2));
    }
}

// A set coder that reads a proper set, then on every other call spoils it:
// a repeat, a position past the list, one below it, or the order reversed.
int spoil_calls = 0;
void spoiled_set_reader(da_BinReader& r, int* p, int lo, int hi, int k) {
    read_known_set_1(r, p, lo, hi, k);
    const int call = spoil_calls++;
    if (call % 2 == 0 || k < 2) return;
    switch (call / 2 % 4) {
        case 0:
            p[1] = p[0];
            break;
        case 1:
            p[k - 1] = hi + 3;
            break;
        case 2:
            p[0] = -1;
            break;
        default:
            std::reverse(p, p + k);
            break;
    }
}

// Removal by marking, as the layered reader worked before it moved values
// between in-order positions: the outcome must not change.
void marking_read(da_BinReader& r, int* v, int k, SetReaderFn set_coder) {
    std::vector<int> index(k), positions(k);
    for (int i = 0; i < k; ++i) index[i] = i;
    int c = k;
    for (int layer = 0; c > 0; ++layer) {
        const int z = read_rng_num(r, c + 1);
        if (z == 0) continue;
        set_coder(r, positions.data(), 0, c - 1, z);
        for (int i = 0; i < z; ++i) {
            const int q = positions[i];
            if (q < 0 || q >= c || index[q] < 0) continue;
            v[index[q]] = layer;
            index[q] = -1;
        }
        int kept = 0;
        for (int j = 0; j < c; ++j)
            if (index[j] >= 0) index[kept++] = index[j];
        c = kept;
    }
}

TEST(LayeredSequenceTest, InOrderAndSpoiledPositionsRemoveAsMarkingDoes) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 200; ++round) {
        const int bytes = uniform(rng, 1, 400), k = uniform(rng, 1, 800);
        auto [ours, theirs] = twin_random_packets(rng, bytes);
        const SetReaderFn coder = round % 2 ? spoiled_set_reader : read_known_set_1;
        std::vector<int> out_ours(k, -1), out_theirs(k, -1);
        spoil_calls = 0;
        da_BinReader r_ours(*ours);
        read_n0_seq_3(r_ours, out_ours.data(), k, coder);
        spoil_calls = 0;
        da_BinReader r_theirs(*theirs);
        marking_read(r_theirs, out_theirs.data(), k, coder);
        ASSERT_EQ(out_ours, out_theirs);
        ASSERT_EQ(r_ours.possition(), r_theirs.possition());
    }
}

// The signed-sequence writer splits each layer eight values at a time and
// takes the sign bits in blocks; the generic layered writer with one sign
// bit per value must give the same bits, for lengths on and off the blocks.
TEST(SignedSequenceTest, WrittenAsTheGenericLayersAndSingleSignBits) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 200; ++round) {
        const int k = uniform(rng, 1, 900);
        const std::vector<int> v = laplacian(rng, k, uniform(rng, 0, 8) * 0.5 + 0.1, round % 4);
        auto ours = scratch_packet(64);
        auto theirs = scratch_packet(64);
        da_BinWriter w_ours(*ours), w_theirs(*theirs);
        write_z_seq(w_ours, v.data(), k);
        std::vector<int> magnitude(k);
        for (int i = 0; i < k; ++i) magnitude[i] = std::abs(v[i]);
        write_n0_seq_3(w_theirs, magnitude.data(), k, write_known_set_1);
        for (int x : v)
            if (x != 0) w_theirs.write(x < 0 ? 1 : 0, 1);
        ASSERT_EQ(bit_string(*ours, 0, ours->possition()),
                  bit_string(*theirs, 0, theirs->possition()));
    }
}

// The signed sequence on foreign bits, read by the layered reader on a bit
// array and the signs 32 at a time, gives what the recursion and one sign
// bit per value give.
TEST(SignedSequenceTest, ForeignBitsReadAsTheRecursionAndSingleSignBits) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 300; ++round) {
        const int bytes = uniform(rng, 0, 400), k = uniform(rng, 1, 1764);
        auto [ours, theirs] = twin_random_packets(rng, bytes);
        if (round % 2 == 0)  // mostly zeros, as in quiet spectra
            for (int i = 0; i < bytes; ++i) ours->data()[i] = theirs->data()[i] &= 0x11;
        std::vector<int> out_ours(k, -1), out_theirs(k, -1);
        da_BinReader r_ours(*ours);
        read_z_seq(r_ours, out_ours.data(), k);
        da_BinReader r_theirs(*theirs);
        marking_read(r_theirs, out_theirs.data(), k, coding_test::reference_read_set);
        for (int& x : out_theirs)
            if (x != 0 && r_theirs.read(1) == 1) x = -x;
        ASSERT_EQ(out_ours, out_theirs);
        ASSERT_EQ(r_ours.possition(), r_theirs.possition());
        ASSERT_EQ(r_ours.overran(), r_theirs.overran());
    }
}

}  // namespace

}  // namespace x91
