#include "coding/matrix_codes.h"

#include <vector>

#include "coding/cpu_variants.h"
#include "coding/integer_codes.h"

namespace x91 {

namespace {

// Row i-1 becomes row(i-1) - row(i); the last row stays.
void row_differences(da_IntMatrix& m, int n) {
    for (int i = 1; i < m.rows(); ++i) zn_subtract_row(m[i - 1], m[i], m.cols(), n);
}

void undo_row_differences(da_IntMatrix& m, int n) {
    for (int i = m.rows() - 1; i >= 1; --i) m.rowxmod_zn(i - 1, i, +1, n);
}

// Column j-1 becomes col(j-1) - col(j); the last column stays. Row by row,
// left to right, along the memory: each entry still meets its right
// neighbour's old value, as it would column by column.
void col_differences(da_IntMatrix& m, int n) {
    for (int i = 0; i < m.rows(); ++i) zn_differences_along(m[i], m.cols(), n);
}

void undo_col_differences(da_IntMatrix& m, int n) {
    for (int j = m.cols() - 1; j >= 1; --j) m.colxmod_zn(j - 1, j, +1, n);
}

// After row differences only the last row still holds whole values; taking
// differences along it as well leaves one whole value, in the corner.
void last_row_differences(da_IntMatrix& m, int n) {
    if (m.rows() == 0) return;
    zn_differences_along(m[m.rows() - 1], m.cols(), n);
}

void undo_last_row_differences(da_IntMatrix& m, int n) {
    if (m.rows() == 0) return;
    int* last = m[m.rows() - 1];
    for (int j = m.cols() - 1; j >= 1; --j) add_to_zn(last[j - 1], last[j], n);
}

void last_col_differences(da_IntMatrix& m, int n) {
    if (m.cols() == 0) return;
    const int c = m.cols() - 1;
    for (int i = 1; i < m.rows(); ++i) add_to_zn(m[i - 1][c], -m[i][c], n);
}

void undo_last_col_differences(da_IntMatrix& m, int n) {
    if (m.cols() == 0) return;
    const int c = m.cols() - 1;
    for (int i = m.rows() - 1; i >= 1; --i) add_to_zn(m[i - 1][c], m[i][c], n);
}

void write_row_major(da_BinWriter& w, const da_IntMatrix& m, int n) {
    const std::vector<int> seq = m.get_as_seq();
    znseq_write2(w, seq.data(), static_cast<int>(seq.size()), n);
}

std::unique_ptr<da_IntMatrix> read_row_major(da_BinReader& r, int rows, int cols, int n) {
    std::vector<int> seq(static_cast<std::size_t>(rows > 0 ? rows : 0) * (cols > 0 ? cols : 0));
    znseq_read2(r, seq.data(), static_cast<int>(seq.size()), n);
    return std::make_unique<da_IntMatrix>(seq.data(), rows, cols);
}

}  // namespace

int znmatrix_test_mcl(da_BinWriter& /*w*/, da_IntMatrix& m, int n) {
    const std::vector<int> seq = m.get_as_seq();
    return static_cast<int>(znseq_bits2(seq.data(), static_cast<int>(seq.size()), n));
}

void znmatrix_write2(da_BinWriter& w, da_IntMatrix& m, int n) {
    da_IntMatrix rows_diff(m);
    row_differences(rows_diff, n);
    da_IntMatrix both(rows_diff);
    col_differences(both, n);
    last_row_differences(rows_diff, n);
    da_IntMatrix cols_diff(m);
    col_differences(cols_diff, n);
    last_col_differences(cols_diff, n);

    da_IntMatrix* const candidates[4] = {&m, &rows_diff, &cols_diff, &both};
    int best = 0, best_cost = 0;
    for (int k = 0; k < 4; ++k) {
        const int cost = znmatrix_test_mcl(w, *candidates[k], n);
        if (k == 0 || cost < best_cost) {
            best = k;
            best_cost = cost;
        }
    }
    write_rng_num(w, 4, best);
    write_row_major(w, *candidates[best], n);
}

std::unique_ptr<da_IntMatrix> znmatrix_read2(da_BinReader& r, int rows, int cols, int n) {
    const int variant = read_rng_num(r, 4);
    std::unique_ptr<da_IntMatrix> m = read_row_major(r, rows, cols, n);
    if (variant == 1) undo_last_row_differences(*m, n);
    if (variant == 2) undo_last_col_differences(*m, n);
    if (variant == 2 || variant == 3) undo_col_differences(*m, n);
    if (variant == 1 || variant == 3) undo_row_differences(*m, n);
    return m;
}

}  // namespace x91
