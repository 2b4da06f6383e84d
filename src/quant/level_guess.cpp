#include "quant/level_guess.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace x91 {

LevelGuess::LevelGuess(const std::vector<float>& levels) {
    // The finite levels; those above them may only be infinite.
    int count = static_cast<int>(std::min<std::size_t>(levels.size(), 0xFFFF));
    for (int k = 0; k < count; ++k) {
        if (std::isfinite(levels[k])) continue;
        for (int j = k; j < count; ++j)
            if (levels[j] != std::numeric_limits<float>::infinity()) return;
        count = k;
    }
    if (count < 2 || !(levels[0] >= 0.0f && levels[1] > 0.0f)) return;
    for (int k = 1; k < count; ++k)
        if (!(levels[k] >= levels[k - 1])) return;
    // From 16 times below level 1 (all guessing level 0) to the last level,
    // or 2^20 times level 1: higher magnitudes are rare.
    origin_ = std::bit_cast<std::uint32_t>(std::ldexp(levels[1], -4)) >> kShift << kShift;
    const std::uint32_t end =
        std::bit_cast<std::uint32_t>(std::min(levels[count - 1], std::ldexp(levels[1], 20)));
    guess_.resize((end - origin_) >> kShift);
    int k = 0;
    for (std::uint32_t key = 0; key < guess_.size(); ++key) {
        const float start = std::bit_cast<float>(origin_ + (key << kShift));
        while (k + 1 < count && levels[k + 1] <= start) ++k;
        guess_[key] = static_cast<std::uint16_t>(k);
    }
}

}  // namespace x91
