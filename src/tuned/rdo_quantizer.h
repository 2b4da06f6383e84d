// The tuned quantiser: the same inputs, outputs and decoder as the
// standard one, but every index and every line-block form chosen for the
// least error plus weighted bits.
#pragma once

#include <array>
#include <vector>

#include "format/settings.h"
#include "quant/level_guess.h"
#include "quant/quantizers.h"
#include "tuned/code_costs.h"
#include "tuned/tuned_setup.h"

namespace x91 {

// Per step takes 1 curve and 2 real spectra (left, right) and puts exactly
// what da_Quantizator puts, in the same order: curve, both spectra (holding
// the reconstructed levels), 2 index arrays, 1 flag array.
//
// Error is measured after division by the masking curve, where the curve is
// the unit of audible error, and the plain and sine forms of a line block
// are compared there too (both transforms are orthonormal, so error sums
// carry over unchanged). Bits are priced by LayeredCodeCosts fitted per
// channel to its previous frame: a small index costs what it adds to the
// code of its spectrum, and lines go to zero where a small level is not
// worth its bits.
class da_RdoQuantizator final : public da_SpectrumQuantizer {
  public:
    da_RdoQuantizator(const da_DGlobalSettings& global, const da_IQuantizeSetup& setup,
                      const TunedEncoderSetup& tuned);
    ~da_RdoQuantizator() = default;

  private:
    struct Choice {
        int magnitude;
        float cost;  // error + rate_weight · bits
    };
    Choice choose(float magnitude, const LayeredCodeCosts& costs) const;
    // Chooses the indices and block forms of one channel; values holds the
    // normalised spectrum, sine the sine form of each whole line block, and
    // flags is the channel's first flag (its flags are every second one).
    void quantize_channel(const float* values, const float* sine, const LayeredCodeCosts& costs,
                          int* index, int* flags) const;
    void quantize_frame(float* left, float* right, int* index_left, int* index_right,
                        int* flags) override;

    TunedEncoderSetup tuned_;
    float ln_b_;
    LevelGuess level_guess_;  // where choose() starts looking, for most magnitudes
    // Price of bits per channel, carried from frame to frame.
    std::array<LayeredCodeCosts, 2> costs_;
    std::vector<float> sine_;  // sine forms of the line blocks, both channels
    std::vector<const float*> in_l_, in_r_;
    std::vector<float*> out_l_, out_r_;
};

}  // namespace x91
