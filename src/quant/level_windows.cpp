#include "quant/level_windows.h"

#include <cmath>
#include <limits>

namespace x91 {

namespace {

// Arguments from 2^20 on are left to the logarithm: levels that high are
// rare (a million times the step of level 1), and the table stays small.
constexpr double kTop = 1048576.0;
// Windows whose tops lie closer than this factor are merged, so buckets of
// 128 to an octave (the finest tried) never hold two tops.
constexpr float kMerge = 1.0f + 1.0f / 64.0f;
constexpr int kFinestShift = 16;
// The coarsest tried: 2 buckets to an octave. The coarsest layout that keeps
// one top per bucket gives the same indices with the smallest table.
constexpr int kCoarsestShift = 22;

float float_below(double v) {
    const float f = static_cast<float>(v);
    // Once more below for the exponential's own error.
    return std::nextafter(std::nextafter(f, 0.0f), 0.0f);
}

float float_above(double v) {
    const float infinity = std::numeric_limits<float>::infinity();
    const float f = static_cast<float>(v);
    return std::nextafter(std::nextafter(f, infinity), infinity);
}

}  // namespace

LevelWindows::LevelWindows(float ln_b, float r, double u_r,
                           const std::function<int(float)>& exact) {
    if (!(ln_b > 0.0f && std::isfinite(ln_b) && std::isfinite(r) && std::isfinite(u_r))) return;
    // The points in order: r, then u_r + m for every integer m that puts it
    // above r, up to the first window past the table.
    const double first_m = std::floor(static_cast<double>(r) - u_r) + 1.0;
    const float infinity = std::numeric_limits<float>::infinity();
    for (int j = 0;; ++j) {
        const double point = j == 0 ? static_cast<double>(r) : u_r + first_m + (j - 1);
        const double margin = std::fabs(point) * (1.0 / 4096.0) + 1.0 / (1 << 24);
        const double low = std::exp((point - margin) * static_cast<double>(ln_b));
        const float high = float_above(std::exp((point + margin) * static_cast<double>(ln_b)));
        // Windows closer than kMerge become one, with no gap between them.
        if (!high_.empty() && float_below(low) <= high_.back() * kMerge) {
            high_.back() = high;
        } else {
            // The gap below: its index is that of any float inside it.
            const float gap_floor = high_.empty() ? 1.0f : std::nextafter(high_.back(), infinity);
            low_.push_back(float_below(low));
            high_.push_back(high);
            const int level = gap_floor < low_.back() ? exact(gap_floor) : 0;
            if (level < 0 || level > 0xFFFF) return;
            level_.push_back(static_cast<std::uint16_t>(level));
        }
        if (low > kTop) break;
        if (low_.size() > 0xFFFF) return;
    }
    high_.back() = infinity;
    low_.shrink_to_fit();
    high_.shrink_to_fit();
    level_.shrink_to_fit();
    for (int shift = kCoarsestShift; shift >= kFinestShift; --shift)
        if (lay_out(shift)) return;
    gap_at_bucket_.clear();
}

// Fills the buckets for `shift`; false where some bucket would hold two
// window tops, which one step past a window could not tell apart.
bool LevelWindows::lay_out(int shift) {
    shift_ = shift;
    const std::uint32_t top_bits = std::bit_cast<std::uint32_t>(static_cast<float>(kTop));
    const std::uint32_t buckets = (top_bits - kOneBits) >> shift;
    gap_at_bucket_.assign(buckets, 0);
    std::size_t gap = 0;
    for (std::uint32_t key = 0; key < buckets; ++key) {
        const float start = std::bit_cast<float>(kOneBits + (key << shift));
        const float last = std::bit_cast<float>(kOneBits + ((key + 1) << shift) - 1);
        while (high_[gap] < start) ++gap;
        if (last > high_[gap] && last > high_[gap + 1]) return false;
        gap_at_bucket_[key] = static_cast<std::uint16_t>(gap);
    }
    return true;
}

}  // namespace x91
