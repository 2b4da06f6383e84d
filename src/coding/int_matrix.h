// A matrix of int rows that come from, and go back to, the pipeline's queues.
#pragma once

#include <vector>

#include "framework/typed_queues.h"

namespace x91 {

// Each row is a queue item of cols ints, so a row can leave the matrix for a
// queue and be released by whoever ends up holding it.
class da_IntMatrix {
  public:
    // Takes `rows` rows off q in order, as rows 0..rows-1, and owns them.
    da_IntMatrix(const GetFace<int>& q, int rows, int cols);
    // Copies seq, rows x cols values in row-major order.
    da_IntMatrix(const int* seq, int rows, int cols);
    // A deep copy.
    da_IntMatrix(const da_IntMatrix& other);
    da_IntMatrix& operator=(const da_IntMatrix&) = delete;
    int* operator[](int i) const { return m_[i].get(); }
    int rows() const { return rows_; }
    int cols() const { return cols_; }

    // The entries in row-major order.
    std::vector<int> get_as_seq() const;

    // For every column j: m[dst][j] = (m[dst][j] + factor * m[src][j]) mod n.
    void rowxmod_zn(int dst, int src, int factor, int n);
    // For every row i: m[i][dst] = (m[i][dst] + factor * m[i][src]) mod n.
    void colxmod_zn(int dst, int src, int factor, int n);

    // Hands every row, in order, to q; the matrix is left without rows.
    void put_to_queue(const PutFace<int>& q);

  private:
    void alloc_data();

    std::vector<Item<int>> m_;  // empty once the rows have gone to a queue
    int rows_;
    int cols_;
};

}  // namespace x91
