#include "tuned/code_costs.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace x91 {

namespace {

// Half a line of each outcome added to every layer: a magnitude the
// histogram never saw still gets a finite cost, and a layer seen once is not
// taken as certain.
constexpr double kPrior = 0.5;

}  // namespace

LayeredCodeCosts::LayeredCodeCosts() {
    Histogram guess{};
    guess[0] = 700;
    guess[1] = 60;
    guess[2] = 25;
    guess[3] = 10;
    guess[4] = 5;
    fit(guess);
}

void LayeredCodeCosts::fit(const Histogram& counts) {
    // present: lines that reach layer L (magnitude >= L).
    long long present = 0;
    for (int c : counts) present += c;
    double passed = 0.0;  // bits of all layers below L for a line that reaches L
    // Once no line is present, every layer above ends and passes with
    // probability 1/2 and the same count share: their logarithms, taken once.
    static const double kIdleShare = std::log2(1.0 + kPrior) / kPrior;
    static const double kIdleHalf = std::log2(0.5);
    for (int m = 0; m <= kMaxMagnitude; ++m) {
        if (present == 0 && counts[m] == 0) {
            bits_[m] = static_cast<float>(passed + kIdleShare - kIdleHalf + (m > 0 ? 1.0 : 0.0));
            passed += kIdleShare - kIdleHalf;
            continue;
        }
        const double ends = counts[m];
        const double p_end = (ends + kPrior) / (static_cast<double>(present) + 2.0 * kPrior);
        const double sign = m > 0 ? 1.0 : 0.0;
        // Each layer also sends its count, a range number over the lines
        // present, shared by them all.
        const double count_share = std::log2(static_cast<double>(present) + 1.0 + kPrior) /
                                   (static_cast<double>(present) + kPrior);
        bits_[m] = static_cast<float>(passed + count_share - std::log2(p_end) + sign);
        passed += count_share - std::log2(1.0 - p_end);
        present -= counts[m];
    }
}

void add_magnitudes(const int* indices, int count, LayeredCodeCosts::Histogram& counts) {
    // Most lines are zero: groups of eight zeros are counted at once.
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        int any = 0;
        for (int j = i; j < i + 8; ++j) any |= indices[j];
        if (any == 0) {
            counts[0] += 8;
            continue;
        }
        for (int j = i; j < i + 8; ++j)
            ++counts[std::min(std::abs(indices[j]), LayeredCodeCosts::kMaxMagnitude)];
    }
    for (; i < count; ++i)
        ++counts[std::min(std::abs(indices[i]), LayeredCodeCosts::kMaxMagnitude)];
}

}  // namespace x91
