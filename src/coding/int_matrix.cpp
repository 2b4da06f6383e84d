#include "coding/int_matrix.h"

#include <algorithm>
#include <utility>

#include "coding/zn_codes.h"

namespace x91 {

da_IntMatrix::da_IntMatrix(const GetFace<int>& q, int rows, int cols)
    : rows_(std::max(rows, 0)), cols_(std::max(cols, 0)) {
    m_.reserve(rows_);
    for (int i = 0; i < rows_; ++i) {
        Item<int> row = q.get_data();
        // A short queue is the owner's mistake; a zero row keeps it harmless.
        m_.push_back(row ? std::move(row) : item_alloc_zeroed<int>(cols_));
    }
}

da_IntMatrix::da_IntMatrix(const int* seq, int rows, int cols)
    : rows_(std::max(rows, 0)), cols_(std::max(cols, 0)) {
    alloc_data();
    for (int i = 0; i < rows_; ++i) std::copy(seq + i * cols_, seq + (i + 1) * cols_, m_[i].get());
}

da_IntMatrix::da_IntMatrix(const da_IntMatrix& other) : rows_(other.rows_), cols_(other.cols_) {
    alloc_data();
    for (int i = 0; i < rows_; ++i) std::copy(other[i], other[i] + cols_, m_[i].get());
}

void da_IntMatrix::alloc_data() {
    m_.resize(rows_);
    for (Item<int>& row : m_) row = item_alloc<int>(cols_);
}

std::vector<int> da_IntMatrix::get_as_seq() const {
    std::vector<int> seq(static_cast<std::size_t>(rows_) * cols_);
    for (int i = 0; i < rows_; ++i)
        std::copy((*this)[i], (*this)[i] + cols_, seq.begin() + i * cols_);
    return seq;
}

void da_IntMatrix::rowxmod_zn(int dst, int src, int factor, int n) {
    for (int j = 0; j < cols_; ++j) add_to_zn(m_[dst][j], factor * m_[src][j], n);
}

void da_IntMatrix::colxmod_zn(int dst, int src, int factor, int n) {
    for (int i = 0; i < rows_; ++i) add_to_zn(m_[i][dst], factor * m_[i][src], n);
}

void da_IntMatrix::put_to_queue(const PutFace<int>& q) {
    for (Item<int>& row : m_) q.put_data(std::move(row));
    m_.clear();
    m_.shrink_to_fit();
}

}  // namespace x91
