// Masking model: turns the per-line intensity envelope into a masking curve,
// the per-line step size of the quantiser.
#pragma once

#include <vector>

#include "format/settings.h"
#include "framework/module.h"
#include "framework/typed_queues.h"

namespace x91 {

// Energy spreads from every line to higher lines (decaying by the upward base
// per Bark) and to lower lines (by the downward base per Bark). The curve is
// computed from the transmitted envelope only, so encoder and decoder derive
// the same one and it costs no bits.
//
// The curve of frame k leaves when frame k + 1's envelope arrives: the first
// step produces no curve, every later step the curve of the frame before.
// Takes float[n] envelopes; puts each unchanged on output1 and new float[n]
// curves on output2.
class da_MaskingEffectEvolve final : public da_Module {
  public:
    da_MaskingEffectEvolve(const da_DGlobalSettings& global, const da_IMaskingSetup& setup);

    // The curve of one envelope alone (n values).
    std::vector<float> get_stat_mask(const float* values) const;
    void work() override;

    GetFace<float> input;
    PutFace<float> output1;  // pass-through
    PutFace<float> output2;  // curves

  private:
    void stat_mask_to(const float* values, float* out) const;

    int n_;
    da_IMaskingSetup setup_;
    std::vector<float> upward_;    // per-line decay into line i from below
    std::vector<float> downward_;  // per-line decay from line i + 1 into line i
    std::vector<float> previous_;  // curve of the last envelope taken
    int counter_ = -1;
    static constexpr int kLanes = 8;    // frames worked out at once
    std::vector<float> batch_curves_;   // their curves
    std::vector<float> lanes_scratch_;  // and the spreads between
};

}  // namespace x91
