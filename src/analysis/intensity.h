// Intensity stereo: the coarse band envelope common to both channels, its
// quantised transmission form, and the per-line envelope rebuilt from it.
#pragma once

#include <vector>

#include "analysis/band_envelope.h"
#include "format/settings.h"
#include "framework/module.h"
#include "framework/typed_queues.h"

namespace x91 {

// Band layout on a square-root frequency scale, built once per encoder or
// decoder and shared by reference with both intensity modules.
// Only the tuned measure reads the index table, when it is built: the others
// let it go once the shares and weights are made, and it stays empty.
enum class IndexTable : bool { dropped, kept };

class da_IntensityTables {
  public:
    da_IntensityTables(da_DGlobalSettings global, da_DIntensitySetup setup,
                       IndexTable index = IndexTable::kept);

    std::vector<float> index_table;   // per line: fractional band position
    std::vector<float> band_weights;  // per band
    env_Shares shares;                // the index table's per-line split
};

// The band envelope intensity indices are measured from: each line's RMS
// magnitude over the two channels, then band values fitted to it. Holds its
// own working space; shared by the standard and the tuned measure.
class IntensityEnvelopeMeter {
  public:
    IntensityEnvelopeMeter(const da_DGlobalSettings& global, const da_DIntensitySetup& setup,
                           const da_IntensityTables& tables);

    // Measures a left/right pair of complex spectra; the results stay valid
    // until the next call.
    void measure(const float* left, const float* right);
    const std::vector<float>& magnitude() const { return magnitude_; }  // per line
    const std::vector<float>& envelope() const { return envelope_; }    // per band, 0 .. 1

  private:
    const da_IntensityTables& tables_;
    std::vector<float> magnitude_;
    std::vector<float> envelope_;
    env_Scratch scratch_;
};

// Attenuation index of a band level d in level units (−range .. 0 for band
// values in [0, 1]): the nearest multiple of range/steps, halves rounding
// towards the louder index, clamped to steps − 1 at the floor.
int intensity_index(float d, const da_DIntensitySetup& setup);
// Band amplitude of an attenuation index: 2^(−range·index/(6·steps)).
float intensity_amplitude(int index, const da_DIntensitySetup& setup);

// Encoder: measures the RMS band envelope of the left/right pair and
// quantises it to attenuation indices 0 (full scale) .. steps − 1 (floor).
// Takes 2 complex spectra (left first); puts them unchanged on output1 and a
// new int[bands] index array on output2. Which level each band is sent at
// is the subclass's.
class da_BandLevelMeasure : public da_Module {
  public:
    void work() override;

    GetFace<float> input;
    PutFace<float> output1;  // the 2 spectra
    PutFace<int> output2;    // index array

  protected:
    da_BandLevelMeasure(const da_DGlobalSettings& global, const da_DIntensitySetup& setup,
                        const da_IntensityTables& tables);
    ~da_BandLevelMeasure() = default;

    // The level (dB, the floor .. 0) band j is sent at, given its measured
    // level; called for the bands of a frame in order.
    virtual float coded_level_db(int j, float level_db) = 0;

    da_DIntensitySetup setup_;
    IntensityEnvelopeMeter meter_;
};

// The standard measure: every band sent at its measured level.
class da_IntensityMeasure final : public da_BandLevelMeasure {
  public:
    da_IntensityMeasure(const da_DGlobalSettings& global, const da_DIntensitySetup& setup,
                        const da_IntensityTables& tables);

  private:
    float coded_level_db(int, float level_db) override { return level_db; }
};

// Encoder and decoder: rebuilds the per-line envelope from an index array.
// Both sides run this same code on the same integers, so their envelopes
// agree bit for bit. Takes an int[bands] array; puts it unchanged on output1
// and a new float[n] envelope on output2.
class da_IntensityEnvCreation final : public da_Module {
  public:
    da_IntensityEnvCreation(const da_DGlobalSettings& global, const da_DIntensitySetup& setup,
                            const da_IntensityTables& tables);
    void work() override;

    GetFace<int> input;
    PutFace<int> output1;    // index array pass-through
    PutFace<float> output2;  // envelope

  private:
    int n_;
    da_DIntensitySetup setup_;
    const da_IntensityTables& tables_;
    std::vector<float> step_amplitudes_;  // intensity_amplitude(k) for 0 <= k < steps
    std::vector<float> amplitude_;
    std::vector<float> slots_;
};

}  // namespace x91
