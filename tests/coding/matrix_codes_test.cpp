#include "coding/matrix_codes.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "coding/alternative_codes.h"
#include "coding/integer_codes.h"
#include "framework/typed_queues.h"
#include "support/coding_test_util.h"

namespace x91 {

namespace {

using namespace coding_test;

da_IntMatrix constant_matrix(int rows, int cols, int c) {
    std::vector<int> seq(rows * cols, c);
    return da_IntMatrix(seq.data(), rows, cols);
}

TEST(IntMatrixTest, TakesRowsFromAQueueAndHandsThemOnInOrder) {
    DataQueue<int> in(4), out(4);
    std::vector<const int*> rows;
    for (int i = 0; i < 3; ++i) {
        auto row = item_alloc<int>(2);
        row[0] = i;
        row[1] = 10 * i;
        rows.push_back(row.get());
        in.put_data(std::move(row));
    }
    da_IntMatrix m(in, 3, 2);
    EXPECT_EQ(in.queued(), 0);
    EXPECT_EQ(m[2][1], 20);
    EXPECT_EQ(m.get_as_seq(), (std::vector<int>{0, 0, 1, 10, 2, 20}));
    m.put_to_queue(out);
    ASSERT_EQ(out.queued(), 3);
    for (const int* row : rows) EXPECT_EQ(out.get_data().get(), row);
}

TEST(IntMatrixTest, CopyIsDeepAndRowOperationsAreModular) {
    da_IntMatrix a = constant_matrix(2, 3, 5);
    da_IntMatrix b(a);
    b.rowxmod_zn(0, 1, -1, 8);
    b.colxmod_zn(2, 0, 3, 8);
    EXPECT_EQ(a.get_as_seq(), (std::vector<int>{5, 5, 5, 5, 5, 5}));
    EXPECT_EQ(b.get_as_seq(), (std::vector<int>{0, 0, 0, 5, 5, (5 + 15) % 8}));
}

TEST(MatrixCodeTest, ConstantMatrixTakesRowDifferences) {
    da_IntMatrix m = constant_matrix(16, 32, 7);
    auto p = scratch_packet(1024);
    da_BinWriter w(*p);
    const int plain = znmatrix_test_mcl(w, m, 32);
    znmatrix_write2(w, m, 32);
    EXPECT_EQ(bit_string(*p, 0, 2), "10");
    EXPECT_LT(p->possition() - 2, plain);
    EXPECT_EQ(m.get_as_seq(), std::vector<int>(16 * 32, 7)) << "the input is left unchanged";
}

TEST(MatrixCodeTest, AllZeroMatrixIsWrittenPlain) {
    da_IntMatrix m = constant_matrix(16, 28, 0);
    auto p = scratch_packet(64);
    da_BinWriter w(*p);
    znmatrix_write2(w, m, 2);
    EXPECT_EQ(bit_string(*p, 0, 2), "11");
    // The total 0 over 16 * 28 + 1 = 449 values takes 9 bits; no split bits.
    EXPECT_EQ(p->possition(), 11);
}

TEST(MatrixCodeTest, SingleEntryMatrixIsWrittenPlain) {
    da_IntMatrix m = constant_matrix(1, 1, 9);
    auto p = scratch_packet(64);
    da_BinWriter w(*p);
    znmatrix_write2(w, m, 32);
    EXPECT_EQ(bit_string(*p, 0, 2), "11");
}

TEST(MatrixCodeTest, TrialEncodingLeavesThePositionAndNoTraceBelowIt) {
    da_IntMatrix m = constant_matrix(4, 4, 3);
    auto p = scratch_packet(64, 0x00);
    da_BinWriter w(*p);
    w.write(1, 1);
    const int bits = znmatrix_test_mcl(w, m, 32);
    EXPECT_GT(bits, 0);
    EXPECT_EQ(p->possition(), 1);
    // The real encoding ends up the same over a clean and a dirty buffer.
    auto q = scratch_packet(64, 0xFF);
    da_BinWriter wq(*q);
    wq.write(1, 1);
    znmatrix_write2(w, m, 32);
    znmatrix_write2(wq, m, 32);
    p->finish();
    q->finish();
    ASSERT_EQ(p->bytes(), q->bytes());
    EXPECT_EQ(std::vector<unsigned char>(p->data(), p->data() + p->bytes()),
              std::vector<unsigned char>(q->data(), q->data() + q->bytes()));
}

// Smooth matrices (ramps along rows or columns) make each variant win
// somewhere; noise makes the plain one win.
std::vector<int> test_matrix(std::mt19937& rng, int rows, int cols, int n) {
    const int kind = uniform(rng, 0, 4);
    const int a = uniform(rng, 0, n - 1), b = uniform(rng, 0, n - 1);
    std::vector<int> seq(rows * cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) {
            long long x;
            switch (kind) {
                case 0:
                    x = uniform(rng, 0, n - 1);
                    break;
                case 1:
                    x = a + i * b;
                    break;
                case 2:
                    x = a + j * b;
                    break;
                case 3:
                    x = a + i * b + j * (b + 1) + (uniform(rng, 0, 9) == 0);
                    break;
                default:
                    x = a + (uniform(rng, 0, 5) == 0);
                    break;
            }
            seq[i * cols + j] = static_cast<int>(x % n);
        }
    return seq;
}

TEST(MatrixCodeTest, EveryCodeRoundTripsOverShapesAndModuli) {
    SeededRng rng(kSeed);
    using Writer = void (*)(da_BinWriter&, da_IntMatrix&, int);
    using Reader = std::unique_ptr<da_IntMatrix> (*)(da_BinReader&, int, int, int);
    const std::pair<Writer, Reader> codes[] = {{znmatrix_write0, znmatrix_read0},
                                               {znmatrix_write1, znmatrix_read1},
                                               {znmatrix_write2, znmatrix_read2}};
    int variants_seen[4] = {0, 0, 0, 0};
    for (int round = 0; round < 600; ++round) {
        const auto [write, read] = codes[round % 3];
        const int rows = uniform(rng, 0, 17), cols = uniform(rng, 0, 33);
        const int n = uniform(rng, 0, 3) ? 32 : uniform(rng, 1, 40);
        const std::vector<int> seq = test_matrix(rng, rows, cols, n);
        da_IntMatrix m(seq.data(), rows, cols);
        auto p = scratch_packet(16);
        da_BinWriter w(*p);
        write(w, m, n);
        const int end = p->possition();
        p->set_possition(0);
        da_BinReader r(*p);
        if (round % 3 == 2) {
            ++variants_seen[read_rng_num(r, 4)];
            p->set_possition(0);
        }
        std::unique_ptr<da_IntMatrix> back = read(r, rows, cols, n);
        ASSERT_EQ(back->get_as_seq(), seq) << rows << "x" << cols << " mod " << n;
        ASSERT_EQ(r.possition(), end);
    }
    for (int v = 0; v < 4; ++v) EXPECT_GT(variants_seen[v], 0) << "variant " << v;
}

// The variant choice rests on counted lengths: each count must be exactly the
// length znseq_write2 produces, or the file would change.
TEST(MatrixCodeTest, CountedLengthIsTheWrittenLength) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 500; ++round) {
        const int rows = uniform(rng, 0, 17), cols = uniform(rng, 0, 33);
        const int n = uniform(rng, 0, 3) ? 32 : uniform(rng, 1, 300);
        const std::vector<int> seq = test_matrix(rng, rows, cols, n);
        da_IntMatrix m(seq.data(), rows, cols);
        auto p = scratch_packet(16);
        da_BinWriter w(*p);
        w.write(5, 3);
        const int counted = znmatrix_test_mcl(w, m, n);
        ASSERT_EQ(p->possition(), 3) << "counting does not move the writer";
        znseq_write2(w, seq.data(), static_cast<int>(seq.size()), n);
        ASSERT_EQ(p->possition() - 3, counted) << rows << "x" << cols << " mod " << n;
    }
}

TEST(MatrixCodeTest, ForeignBitsGiveAMatrixOfResidues) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 300; ++round) {
        const int n = uniform(rng, 1, 32);
        auto p = random_packet(rng, uniform(rng, 0, 80));
        da_BinReader r(*p);
        std::unique_ptr<da_IntMatrix> m = znmatrix_read2(r, 16, 32, n);
        for (int x : m->get_as_seq()) ASSERT_TRUE(x >= 0 && x < n);
    }
}

}  // namespace

}  // namespace x91
