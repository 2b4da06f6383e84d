// Quantiser and dequantiser modules: spectra relative to the masking curve,
// with an optional 56-line sine transform per block where that is sparser.
#pragma once

#include <vector>

#include "format/settings.h"
#include "framework/module.h"
#include "framework/typed_queues.h"
#include "quant/scalar_quantizers.h"

namespace x91 {

// What encoder and decoder share: the line count, the base of the
// logarithmic levels and the block layout. Line block e covers lines
// 56·e .. 56·e + 55; boundary rotations cover lines 28 + 56·k .. 83 + 56·k for
// every k that fits below the line count.
class da_QuantizeBaseClass : public da_Module {
  public:
    // Flag array layout for the array coder: {2·⌊n/56⌋ flags, alphabet 2}.
    da_ArraySetup rots_as() const;
    // The same for the line count of `global`, without a quantiser.
    static da_ArraySetup rots_as(const da_DGlobalSettings& global);

  protected:
    da_QuantizeBaseClass(const da_DGlobalSettings& global, const da_IQuantizeSetup& setup);
    ~da_QuantizeBaseClass() = default;

    // log_dequant(k, b), from a table for the indices that occur in practice
    // (inline: it runs once per line).
    float level(int k) const {
        // Unsigned, so that indices on either side of the table fail one test.
        const unsigned slot = static_cast<unsigned>(k) + (kLevelTableSize - 1);
        if (slot < levels_.size()) return levels_[slot];
        return level_beyond_table(k);
    }
    // level(index[i]) for the n_ lines.
    void levels_to(const int* index, float* out) const;
    // level(k) for the table's k from 0 on.
    std::vector<float> levels_from_zero() const {
        return {levels_.begin() + (kLevelTableSize - 1), levels_.end()};
    }
    int blocks() const { return n_ / kBlock; }
    // Divides both spectra by the masking curve, then rotates across the
    // block boundaries to soften the block edges before the sine transform
    // sees them.
    void normalise_and_soften(float* left, float* right, const float* curve) const;

    // Levels beyond this index overflow float for the default base already; the
    // table covers everything a real stream holds, larger indices are computed.
    static constexpr int kLevelTableSize = 1024;
    static constexpr int kBlock = 56;
    static constexpr int kHalfBlock = 28;

    int n_;
    float b_;

  private:
    float level_beyond_table(int k) const;
    // log_dequant(k, b) for -size < k < size, at k + size - 1.
    std::vector<float> levels_;
};

// An encoder's quantiser. Per step takes 1 curve (curve_input) and 2 real
// spectra, left then right (spectrum_input). Puts the curve on curve_output,
// the two spectra on spectrum_output (used as scratch: nothing downstream
// reads them), 2 new int[n] index arrays on index_output and 1 new
// int[2·⌊n/56⌋] flag array on flag_output. How the indices and block forms
// are chosen is the subclass's.
class da_SpectrumQuantizer : public da_QuantizeBaseClass {
  public:
    void work() override;

    GetFace<float> curve_input;
    PutFace<float> curve_output;
    GetFace<float> spectrum_input;
    PutFace<float> spectrum_output;
    PutFace<int> index_output;
    PutFace<int> flag_output;

  protected:
    using da_QuantizeBaseClass::da_QuantizeBaseClass;
    ~da_SpectrumQuantizer() = default;

    // For spectra already normalised by the curve: chooses each block's form
    // (flags) and each line's index, and replaces every value by its level.
    virtual void quantize_frame(float* left, float* right, int* index_left, int* index_right,
                                int* flags) = 0;
};

// The standard quantiser: each block in the sine form where that is
// sparser by a margin, each line the nearest level.
class da_Quantizator final : public da_SpectrumQuantizer {
  public:
    da_Quantizator(const da_DGlobalSettings& global, const da_IQuantizeSetup& setup,
                   da_EQuantizeSetup encoder);
    ~da_Quantizator() = default;

  private:
    void quantize_frame(float* left, float* right, int* index_left, int* index_right,
                        int* flags) override;
    void choose_block_forms(float* left, float* right, int* flags) const;

    da_EQuantizeSetup setup_;
    da_LogQuantizer quantizer_;
};

// Decoder. Per step takes 2 index arrays (left first), 1 curve and 1 flag
// array; puts each on its pass-through output and 2 new float[n] spectra,
// left first, on spectrum_output. Damaged indices, flags or curves give wrong
// audio (infinite or NaN values included) but never undefined behaviour.
// How the dequantiser hands out each spectrum: its real lines, or the
// complex lines the inverse transform takes, (√½·x, 0) for each real line x,
// as da_RCSpecsTransform would make them, made in the pass that scales.
enum class DequantisedForm { real_lines, complex_lines };

class da_DeQuantizator final : public da_QuantizeBaseClass {
  public:
    da_DeQuantizator(const da_DGlobalSettings& global, const da_IQuantizeSetup& setup,
                     DequantisedForm form = DequantisedForm::real_lines);
    ~da_DeQuantizator() = default;
    void work() override;

    GetFace<int> flag_input;
    PutFace<int> flag_output;
    GetFace<int> index_input;
    PutFace<int> index_output;
    GetFace<float> curve_input;
    PutFace<float> curve_output;
    PutFace<float> spectrum_output;

  private:
    // A frame taken in, its levels made, waiting for its batch's block
    // transforms.
    struct Frame {
        Item<int> flags, index_left, index_right;
        Item<float> curve, left, right;
    };
    // A block with a sine form: the batch's frame and the block's number.
    struct SineBlock {
        int frame, block;
    };
    // Frames held at most in one batch.
    static constexpr std::size_t kBatchFrames = 16;

    bool frame_ready() const;
    Frame take_frame();
    // The frame's blocks with a sine form.
    int sine_block_count(const int* flags) const;
    // Adds the frame to the batch, and its blocks with a sine form to the
    // batch's transforms.
    void add_to_batch(Frame frame);
    // Transforms the batch's sine blocks back and hands out its frames.
    void finish_batch();
    void finish_frame(Frame& frame);
    // Scales a spectrum's lines by the curve and hands it out in the form
    // asked for.
    void put_spectrum(Item<float> lines, const float* curve);

    DequantisedForm form_;
    // The sine blocks one batch transforms: the frame's blocks, rounded up
    // to whole groups of vector lanes.
    int capacity_;
    std::vector<Frame> batch_;
    // Scratch for the batch's blocks with a sine form, sized once.
    std::vector<SineBlock> sine_blocks_;
    int sine_count_ = 0;
    std::vector<float> plain_;
    std::vector<const float*> in_l_, in_r_;
    std::vector<float*> out_l_, out_r_;
};

}  // namespace x91
