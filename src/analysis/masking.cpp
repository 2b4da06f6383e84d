#include "analysis/masking.h"

#include <cmath>
#include <memory>
#include <vector>

#include "analysis/band_envelope.h"
#include "analysis/cpu_variants.h"
#include "dsp/numeric.h"

namespace x91 {

namespace {

// The flat per-line loops of the curve, built for each CPU level; lanes
// round as scalar floats do.
void line_energies(const float* values, float scale, float* energy, int count) {
    for (int i = 0; i < count; ++i) energy[i] = r_sqr(values[i] * scale);
}

// out[i] = √(out[i] + add[i]).
void root_of_sums(float* out, const float* add, int count) {
    for (int i = 0; i < count; ++i) out[i] = std::sqrt(out[i] + add[i]);
}

}  // namespace

const CpuVariants<void(const float*, float, float*, int)> masking_line_energies =
    cpu_variants_of<line_energies>;
const CpuVariants<void(float*, const float*, int)> masking_root_of_sums =
    cpu_variants_of<root_of_sums>;

da_MaskingEffectEvolve::da_MaskingEffectEvolve(const da_DGlobalSettings& global,
                                               const da_IMaskingSetup& setup)
    : n_(global.lines),
      setup_(setup),
      upward_(global.lines),
      downward_(global.lines),
      previous_(global.lines, 0.0f) {
    name = "da_MaskingEffectEvolve";
    // Decay per line from the Bark distance to the next line centre, so no
    // pow runs per frame.
    const std::vector<float> bark = env_bark_itab(n_ + 1);
    for (int i = 0; i < n_; ++i) {
        const float delta = bark[i + 1] - bark[i];
        upward_[i] = std::pow(setup_.upward_base, delta);
        downward_[i] = std::pow(setup_.downward_base, delta);
    }
}

void da_MaskingEffectEvolve::stat_mask_to(const float* values, float* out) const {
    const float scale = setup_.level_scale;
    // Each line's energy, worked out once in a flat loop that vectorises; the
    // two spreads below are recurrences and take it from here.
    // Every entry is written before it is read: no zero fill.
    const auto scratch = std::make_unique_for_overwrite<float[]>(2 * static_cast<std::size_t>(n_));
    float* energy = scratch.get();
    float* from_above = energy + n_;
    masking_line_energies(values, scale, energy, n_);
    // Upward spread (each line's energy reaches the lines above it only) and
    // downward spread (which also adds each line's own energy). Neither uses
    // the other, so they run side by side, one line from each end per step:
    // two chains of dependent operations overlap instead of following each
    // other.
    float forward = 0.0f;
    float backward = 0.0f;
    for (int i = 0, j = n_ - 1; i < n_; ++i, --j) {
        out[i] = upward_[i] * forward;
        forward = energy[i] + out[i];
        const float decayed = downward_[j] * backward;
        backward = energy[j] + decayed;
        from_above[j] = backward;
    }
    masking_root_of_sums(out, from_above, n_);
}

std::vector<float> da_MaskingEffectEvolve::get_stat_mask(const float* values) const {
    std::vector<float> out(n_);
    stat_mask_to(values, out.data());
    return out;
}

void da_MaskingEffectEvolve::work() {
    while (input.queued() >= 1) {
        auto envelope = input.get_data();
        if (counter_ >= 0) {
            auto curve = item_alloc<float>(n_);
            ra_copy(previous_.data(), curve.get(), n_);
            output2.put_data(std::move(curve));
        }
        ++counter_;
        // Stays below INT_MAX however long the stream: only "taken before"
        // matters from here on.
        if (counter_ > 1) counter_ = 1;
        stat_mask_to(envelope.get(), previous_.data());
        output1.put_data(std::move(envelope));
    }
}

}  // namespace x91
