// Where the logarithmic quantiser's index of a level argument is certain
// without taking its logarithm.
#pragma once

#include <bit>
#include <cstdint>
#include <functional>
#include <vector>

namespace x91 {

// The index of a level argument y >= 1 changes only where y/ln b, its
// logarithm to base b, passes the rounding point r or u_r plus an integer.
// Around each such point lies a window whose logarithms come within 2^-12 of
// it, relative: thousands of times any rounding of the logarithm and of the
// divisions after it, so between two windows every float has the index of
// any other there. A table of those gaps gives the index of most arguments
// from their bits; arguments in a window, beyond the table (2^20) or not finite are
// left to the logarithm.
class LevelWindows {
  public:
    // `exact` gives the index the logarithm gives; it fills each gap's index.
    // Settings without a usable table leave every argument to the logarithm.
    LevelWindows(float ln_b, float r, double u_r, const std::function<int(float)>& exact);

    // The index of y (not below 1), or -1 where the logarithm must decide.
    int index(float y) const {
        const std::uint32_t key = (std::bit_cast<std::uint32_t>(y) - kOneBits) >> shift_;
        if (key >= gap_at_bucket_.size()) return -1;
        int gap = gap_at_bucket_[key];
        if (y > high_[gap]) ++gap;
        return y < low_[gap] ? level_[gap] : -1;
    }

  private:
    static constexpr std::uint32_t kOneBits = 0x3F800000;  // the bits of 1.0f
    bool lay_out(int shift);

    int shift_ = 0;
    // Per bucket of arguments (those with the same bits above shift_, from 1
    // on): the first window whose top is not below the bucket's start.
    std::vector<std::uint16_t> gap_at_bucket_;
    // Window j spans [low_[j], high_[j]]; gap j lies below it, above window
    // j − 1, and has index level_[j]. The last window reaches to infinity.
    std::vector<float> low_, high_;
    std::vector<std::uint16_t> level_;
};

}  // namespace x91
