#include "tuned/tuned_intensity.h"

#include <algorithm>
#include <cmath>

#include "dsp/numeric.h"

namespace x91 {

namespace {

// The shifts, found with PEAQ on music and speech excerpts at equal mean
// rates (bench/quality); together they gave about +0.1 ODG at 100 and
// 130 kbit/s over the measured levels.
// - Onsets: a band whose level rises by more than kOnsetFreeDb over the
//   frame before gets a finer step, kOnsetSlope dB per dB of further rise, at
//   most kOnsetMaxDb: the quantisation noise of a frame spreads over the whole
//   transform window, so it is heard ahead of an attack that does not mask it.
//   Once the masking curve follows the envelope closely (the tuned spreading
//   bases), a full dB per dB up to 9 dB paid off at about 130 kbit/s and was
//   even at about 100.
constexpr float kOnsetFreeDb = 6.0f;
constexpr float kOnsetSlope = 1.0f;
constexpr float kOnsetMaxDb = 9.0f;
// - Tonality: a noise-like band masks its own quantisation noise better than
//   a tonal one, so it gets the tuned setup's tonal shift coarser and a tonal
//   band as much finer, blended by the band's spectral flatness from 0 dB
//   (white) to -kFlatTonalDb (tonal).
constexpr double kFlatTonalDb = 15.0;
// - Position: the lowest quarter of the bands kLowDb finer, errors in the
//   low bands being heard more; the highest quarter moves by the tuned
//   setup's high band shift, which follows the rate.
constexpr float kLowDb = 3.0f;
// Flatness is measured on at least this many lines around a band's centre:
// the narrow low bands hold too few for a meaningful figure.
constexpr int kFlatnessLines = 8;

}  // namespace

da_TunedIntensityMeasure::da_TunedIntensityMeasure(const da_DGlobalSettings& global,
                                                   const da_DIntensitySetup& setup,
                                                   const da_IntensityTables& tables,
                                                   const TunedEncoderSetup& tuned)
    : da_BandLevelMeasure(global, setup, tables),
      n_(global.lines),
      high_band_db_(tuned.high_band_db),
      tonal_db_(tuned.tonal_db),
      // So low that the first frame counts as an onset in every band.
      previous_db_(setup.bands, -1000.0f),
      first_(setup.bands, global.lines),
      end_(setup.bands, 0) {
    name = "da_TunedIntensityMeasure";
    // The index table gives each line's (1-based, fractional) band position.
    for (int i = 0; i < n_; ++i) {
        const int band = std::clamp(static_cast<int>(std::lround(tables.index_table[i])) - 1, 0,
                                    setup.bands - 1);
        first_[band] = std::min(first_[band], i);
        end_[band] = std::max(end_[band], i + 1);
    }
    const int wanted = std::min(kFlatnessLines, n_);
    for (int j = 0; j < setup.bands; ++j) {
        if (end_[j] <= first_[j]) first_[j] = end_[j] = std::min(j, n_ - 1);
        const int missing = wanted - (end_[j] - first_[j]);
        if (missing > 0) {
            first_[j] = std::max(0, first_[j] - missing / 2);
            end_[j] = std::min(n_, first_[j] + wanted);
            first_[j] = std::max(0, end_[j] - wanted);
        }
    }
}

float da_TunedIntensityMeasure::shift_db(int j, float level_db) {
    const float rise = level_db - previous_db_[j];
    previous_db_[j] = level_db;
    const float onset = -std::fmin(kOnsetMaxDb, kOnsetSlope * std::fmax(0.0f, rise - kOnsetFreeDb));

    // Spectral flatness in dB: the log of the geometric over the arithmetic
    // mean of the line powers (the tiny term keeps log() finite on silence).
    double log_sum = 0.0, sum = 0.0;
    const int count = end_[j] - first_[j];
    for (int i = first_[j]; i < end_[j]; ++i) {
        const double p = static_cast<double>(meter_.magnitude()[i]) * meter_.magnitude()[i] + 1e-20;
        log_sum += std::log(p);
        sum += p;
    }
    const double flatness_db = 10.0 / std::log(10.0) * (log_sum / count - std::log(sum / count));
    const auto tonal = static_cast<float>(std::clamp(-flatness_db / kFlatTonalDb, 0.0, 1.0));
    const float tonality = tonal_db_ * (1.0f - 2.0f * tonal);

    const int quarter = setup_.bands / 4;
    const float position = j < quarter                   ? -kLowDb
                           : j >= setup_.bands - quarter ? high_band_db_
                                                         : 0.0f;
    return onset + tonality + position;
}

float da_TunedIntensityMeasure::coded_level_db(int j, float level_db) {
    const float floor_db = static_cast<float>(-setup_.range);
    const float shift = shift_db(j, level_db);
    // Bands at the floor stay there: nothing in them to code. Levels stay
    // within the index range (0 dB at the top, the floor below).
    const float moved = level_db <= floor_db ? level_db : std::fmin(0.0f, level_db + shift);
    return std::fmax(moved, floor_db);
}

}  // namespace x91
