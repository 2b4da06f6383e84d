// Side stereo: a per-line rotation of the left/right pair towards a principal
// and a residual channel, described by a few quantised band balances.
#pragma once

#include <vector>

#include "analysis/band_envelope.h"
#include "format/settings.h"
#include "framework/module.h"
#include "framework/typed_queues.h"

namespace x91 {

// Encoder and decoder: builds the side-stereo index table (the map) from the
// per-line intensity envelope. The bands divide the cumulative square-root
// envelope evenly, with a linear share so that silent stretches keep some
// band room. Takes a float[n] envelope; puts it unchanged on output1 and a
// new float[n] map on output2.
class da_StereoMapCreator final : public da_Module {
  public:
    da_StereoMapCreator(const da_DGlobalSettings& global, const da_DSideStereoSetup& setup);
    void work() override;

    GetFace<float> input;
    PutFace<float> output1;  // envelope
    PutFace<float> output2;  // map

  private:
    int n_;
    int bands_;
};

// Encoder: measures the left/right balance per side-stereo band and quantises
// it to 0 (right only) .. levels − 1 (left only). Takes 2 complex spectra
// (input1, left first) and a map (input2); puts the spectra on output1, the
// map on output2 and a new int[bands] index array on output3.
class da_StereoSideMeasure final : public da_Module {
  public:
    da_StereoSideMeasure(const da_DGlobalSettings& global, const da_DIntensitySetup& intensity,
                         const da_DSideStereoSetup& setup);
    void work() override;

    GetFace<float> input1;   // spectra
    GetFace<float> input2;   // map
    PutFace<float> output1;  // spectra
    PutFace<float> output2;  // map
    PutFace<int> output3;    // indices

  private:
    int n_;
    int range_;
    int bands_;
    int levels_;
    std::vector<float> weights_;
    std::vector<float> magnitude_left_;
    std::vector<float> magnitude_right_;
    std::vector<float> band_left_;
    std::vector<float> band_right_;
    env_Scratch scratch_;
};

// Rotates the two complex spectra in place, line by line: direction +1 turns
// the pair towards (principal, residual) in the encoder, −1 turns it back in
// the decoder. Takes 2 spectra (input1), a map (input2) and an index array (input3); puts the map
// on output2, the indices on output3 and the rotated spectra on output1.
class da_StereoSideTransform final : public da_Module {
  public:
    // The last int is part of the module's standard signature (both graphs
    // pass 2); nothing in the rotation depends on it.
    da_StereoSideTransform(const da_DGlobalSettings& global, const da_DSideStereoSetup& setup,
                           int direction, int);
    void work() override;

    GetFace<float> input1;   // spectra
    GetFace<float> input2;   // map
    GetFace<int> input3;     // indices
    PutFace<float> output1;  // rotated spectra
    PutFace<float> output2;  // map
    PutFace<int> output3;    // indices

  private:
    int n_;
    int bands_;
    int levels_;
    int direction_;
    std::vector<float> balance_;
    std::vector<float> line_balance_;
    std::vector<float> slots_;
    env_Shares shares_;  // this frame's map, split per line
};

}  // namespace x91
