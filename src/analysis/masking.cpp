#include "analysis/masking.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "analysis/band_envelope.h"
#include "analysis/cpu_variants.h"
#include "dsp/numeric.h"
#include "framework/float_lanes.h"

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

// The curves of up to eight frames at once, one frame per vector lane: the
// energies, both spreads and the root of their sum, each lane with the float
// operations of stat_mask_to in its order. The spreads are recurrences along
// the lines, one step after another; in lanes one run of them serves eight
// frames. `scratch` holds 24·n floats: energies, upward and downward spreads,
// line by line with the frames side by side.
void curves_in_lanes(int frames, const float* const* values, float scale, const float* upward,
                     const float* downward, int n, float* scratch, float* const* out) {
    float* energy = scratch;
    float* from_below = scratch + 8 * n;
    float* from_above = scratch + 16 * n;
    const float zeros[8] = {};
    auto row = [&](int f, int i) { return f < frames ? values[f] + i : zeros; };
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        f32x8 r[8];
        for (int f = 0; f < 8; ++f) {
            const f32x8 v = load8(row(f, i));
            r[f] = (v * scale) * (v * scale);
        }
        transpose8x8(r);
        for (int j = 0; j < 8; ++j) store8(energy + 8 * (i + j), r[j]);
    }
    for (; i < n; ++i)
        for (int f = 0; f < 8; ++f) {
            const float v = f < frames ? values[f][i] : 0.0f;
            energy[8 * i + f] = (v * scale) * (v * scale);
        }
    f32x8 forward = {}, backward = {};
    for (int up = 0, down = n - 1; up < n; ++up, --down) {
        const f32x8 below = upward[up] * forward;
        store8(from_below + 8 * up, below);
        forward = load8(energy + 8 * up) + below;
        const f32x8 decayed = downward[down] * backward;
        backward = load8(energy + 8 * down) + decayed;
        store8(from_above + 8 * down, backward);
    }
    for (i = 0; i + 8 <= n; i += 8) {
        f32x8 r[8];
        for (int j = 0; j < 8; ++j)
            r[j] = load8(from_below + 8 * (i + j)) + load8(from_above + 8 * (i + j));
        transpose8x8(r);
        for (int f = 0; f < frames; ++f) store8(out[f] + i, r[f]);
    }
    for (; i < n; ++i)
        for (int f = 0; f < frames; ++f) out[f][i] = from_below[8 * i + f] + from_above[8 * i + f];
    for (int f = 0; f < frames; ++f)
        for (int k = 0; k < n; ++k) out[f][k] = std::sqrt(out[f][k]);
}

}  // namespace

const CpuVariants<void(const float*, float, float*, int)> masking_line_energies =
    cpu_variants_of<line_energies>;
const CpuVariants<void(float*, const float*, int)> masking_root_of_sums =
    cpu_variants_of<root_of_sums>;
const CpuVariants<void(int, const float* const*, float, const float*, const float*, int, float*,
                       float* const*)>
    masking_curves_in_lanes = cpu_variants_of<curves_in_lanes>;

da_MaskingEffectEvolve::da_MaskingEffectEvolve(const da_DGlobalSettings& global,
                                               const da_IMaskingSetup& setup)
    : n_(global.lines),
      setup_(setup),
      upward_(global.lines),
      downward_(global.lines),
      previous_(global.lines, 0.0f),
      batch_curves_(static_cast<std::size_t>(kLanes) * global.lines),
      lanes_scratch_(static_cast<std::size_t>(3 * kLanes) * global.lines) {
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
        // Up to eight frames at once (a decoder's packet brings many): their
        // curves do not depend on one another and are worked out side by side.
        const int frames = std::min(input.queued(), kLanes);
        QueueItem<float> envelopes[kLanes];
        const float* values[kLanes];
        float* curves[kLanes];
        for (int f = 0; f < frames; ++f) {
            envelopes[f] = input.get_data();
            values[f] = envelopes[f].get();
            curves[f] = batch_curves_.data() + static_cast<std::size_t>(f) * n_;
        }
        if (frames == 1)
            stat_mask_to(values[0], curves[0]);
        else
            masking_curves_in_lanes(frames, values, setup_.level_scale, upward_.data(),
                                    downward_.data(), n_, lanes_scratch_.data(), curves);
        for (int f = 0; f < frames; ++f) {
            if (counter_ >= 0) {
                auto curve = item_alloc<float>(n_);
                ra_copy(previous_.data(), curve.get(), n_);
                output2.put_data(std::move(curve));
            }
            ++counter_;
            // Stays below INT_MAX however long the stream: only "taken
            // before" matters from here on.
            if (counter_ > 1) counter_ = 1;
            ra_copy(curves[f], previous_.data(), n_);
            output1.put_data(std::move(envelopes[f]));
        }
    }
}

}  // namespace x91
