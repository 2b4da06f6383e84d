// A first guess, from a magnitude's bits alone, of the highest level at or
// below it: where a search along the levels starts instead of at a logarithm.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

namespace x91 {

class LevelGuess {
  public:
    // levels[k] is level k from k = 0 on; the highest may be infinite.
    // Levels that ever fall leave every magnitude unguessed: a search along
    // them need not find the same level from every start.
    explicit LevelGuess(const std::vector<float>& levels);

    // The highest k with levels[k] at or below the start of a's bucket (a
    // 32nd of an octave), so at or below a: a search upwards from it finds
    // the highest at or below a. −1 for magnitudes outside the levels' range,
    // infinities and NaN.
    int operator()(float a) const {
        const std::uint32_t key = (std::bit_cast<std::uint32_t>(a) - origin_) >> kShift;
        return key < guess_.size() ? guess_[key] : -1;
    }

  private:
    static constexpr int kShift = 18;  // 2^5 buckets to an octave
    std::uint32_t origin_ = 0;         // the bits of the first bucket's start
    std::vector<std::uint16_t> guess_;
};

}  // namespace x91
