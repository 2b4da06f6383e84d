#include "tuned/rdo_quantizer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "dsp/block_transforms.h"

namespace x91 {

da_RdoQuantizator::da_RdoQuantizator(const da_DGlobalSettings& global,
                                     const da_IQuantizeSetup& setup, const TunedEncoderSetup& tuned)
    : da_SpectrumQuantizer(global, setup),
      tuned_(tuned),
      ln_b_(std::log(setup.base)),
      level_guess_(levels_from_zero()),
      sine_(2 * static_cast<std::size_t>(blocks()) * kBlock),
      in_l_(blocks()),
      in_r_(blocks()),
      out_l_(blocks()),
      out_r_(blocks()) {
    name = "da_RdoQuantizator";
}

da_RdoQuantizator::Choice da_RdoQuantizator::choose(float a, const LayeredCodeCosts& costs) const {
    const float weight = tuned_.rate_weight;
    // The level just below a (guessed from a's bits, or by the inverse of the
    // level formula, then corrected against the level table, which the
    // decoder uses; the levels rise, so every start finds the same), the one
    // above it, the one below that, and zero.
    int below = level_guess_(a);
    if (below < 0) below = std::max(static_cast<int>(std::log((b_ - 1.0f) * a + 1.0f) / ln_b_), 0);
    while (below > 0 && level(below) > a) --below;
    while (level(below + 1) <= a) ++below;
    Choice best{0, a * a + weight * costs.bits(0)};
    for (int m = std::max(below - 1, 1); m <= below + 1; ++m) {
        const float e = a - level(m);
        const float cost = e * e + weight * costs.bits(m);
        if (cost < best.cost) best = Choice{m, cost};
    }
    return best;
}

void da_RdoQuantizator::quantize_channel(const float* values, const float* sine,
                                         const LayeredCodeCosts& costs, int* index,
                                         int* flags) const {
    // Below this magnitude no level of the first few beats zero, so most
    // lines are settled without a logarithm: zero wins over level m when
    // a < (D(m)² + w·(bits(m) − bits(0))) / (2·D(m)).
    const float weight = tuned_.rate_weight;
    float zero_below = 1e30f;
    for (int m = 1; m <= 3; ++m) {
        const float d = level(m);
        zero_below =
            std::min(zero_below, (d * d + weight * (costs.bits(m) - costs.bits(0))) / (2.0f * d));
    }
    const float zero_cost = weight * costs.bits(0);
    const auto pick = [&](float x, int* out) {
        const float a = std::fabs(x);
        if (a < zero_below) {
            *out = 0;
            return a * a + zero_cost;
        }
        const Choice c = choose(a, costs);
        *out = x < 0.0f ? -c.magnitude : c.magnitude;
        return c.cost;
    };

    int sine_index[kBlock];
    for (int e = 0; e < blocks(); ++e) {
        float plain_cost = 0.0f, sine_cost = 0.0f;
        for (int i = 0; i < kBlock; ++i) {
            plain_cost += pick(values[kBlock * e + i], &index[kBlock * e + i]);
            sine_cost += pick(sine[2 * kBlock * e + i], &sine_index[i]);
        }
        // Ties keep the plain form.
        flags[2 * e] = sine_cost < plain_cost ? 1 : 0;
        if (flags[2 * e]) std::copy(sine_index, sine_index + kBlock, index + kBlock * e);
    }
    for (int i = kBlock * blocks(); i < n_; ++i) pick(values[i], &index[i]);
}

void da_RdoQuantizator::quantize_frame(float* left, float* right, int* index_left, int* index_right,
                                       int* flags) {
    // The sine forms of all whole line blocks of both channels, in one batch.
    for (int e = 0; e < blocks(); ++e) {
        in_l_[e] = left + kBlock * e;
        in_r_[e] = right + kBlock * e;
        out_l_[e] = sine_.data() + 2 * kBlock * e;
        out_r_[e] = out_l_[e] + kBlock;
    }
    hvst56_many(blocks(), in_l_.data(), in_r_.data(), out_l_.data(), out_r_.data());

    float* values[2] = {left, right};
    int* index[2] = {index_left, index_right};
    for (int c = 0; c < 2; ++c) {
        quantize_channel(values[c], sine_.data() + c * kBlock, costs_[c], index[c], flags + c);
        LayeredCodeCosts::Histogram counts{};
        add_magnitudes(index[c], n_, counts);
        costs_[c].fit(counts);
        levels_to(index[c], values[c]);
    }
}

}  // namespace x91
