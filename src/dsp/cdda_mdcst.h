// The transform modules between CD audio blocks and complex spectra: the
// forward MDCST of each new block with its predecessor, and the inverse with
// overlap-add back into blocks.
#pragma once

#include "format/settings.h"
#include "framework/module.h"
#include "framework/typed_queues.h"

namespace x91 {

// Bytes in one block: 882 stereo frames of two little-endian 16-bit samples.
constexpr int cdda_block_bytes = 3528;

// A sample at unit scale as a 16-bit value: v·32768 truncated toward zero and
// limited to −32768 .. 32767. Defined for every float: NaN gives 0, infinities
// and values beyond the int range clip like any other value out of range.
int cdda_sample(float v);

// Takes PCM blocks (arrays of bytes, released here) and puts two complex
// spectra per block, left then right, each of i_max(L, 882) complex values
// with line k in entry k (lines above 881 are 0). The first frame is the
// first block with a block of silence before it.
class da_CDDA_MDCST final : public da_Module {
  public:
    explicit da_CDDA_MDCST(const da_DGlobalSettings& settings);
    void work() override;

    // Takes a block as the one before the next, without transforming it: a
    // stream encoded from part way starts from the frame it would have had.
    void preload_block(const unsigned char* block) { shift_in(block); }

    GetFace<unsigned char> input;
    PutFace<float> output;

  private:
    // Moves the newest block into the older half of the frame and the
    // block's samples into the newer half.
    void shift_in(const unsigned char* block);

    // 1764 complex values: the previous block, then the newest; left samples
    // in the real parts, right samples in the imaginary parts.
    float frame_[2 * 1764] = {};
    int out_values_;  // complex values per output spectrum
};

// Takes complex spectra in pairs (left, then right; a single one waits for
// its partner), releases them, and puts one PCM block per pair: the
// reconstruction of the block the encoder received one block earlier. The
// first block out, the lead-in, decodes the half of the first frame that
// held silence: it is the transform's start, with sound the coding spread
// back from the input's first block, not silence.
// Uses the first min(L, 882) lines of each spectrum; the rest count as 0.
class da_CDDA_iMDCST final : public da_Module {
  public:
    explicit da_CDDA_iMDCST(const da_DGlobalSettings& settings);
    void work() override;

    GetFace<float> input;
    PutFace<unsigned char> output;

  private:
    // The next block, from the spectra a and b and the held tail.
    void inverse_block(const float* a, const float* b, unsigned char* block);

    // The second half of the last inverse frame, waiting for the next
    // frame's first half: its 882 left values, then its 882 right ones.
    float tail_[1764] = {};
    int used_lines_;  // L
};

}  // namespace x91
