#include "analysis/intensity.h"

#include <cmath>

#include "analysis/cpu_variants.h"
#include "dsp/numeric.h"

namespace x91 {

int intensity_index(float d, const da_DIntensitySetup& setup) {
    const float scaled =
        static_cast<float>(static_cast<double>(d) * static_cast<double>(setup.steps) /
                           static_cast<double>(setup.range));
    const int s = r_round(scaled);
    // d >= −range keeps s >= −steps; the guard only keeps −s defined.
    const int negated = s == -2147483647 - 1 ? 2147483647 : -s;
    return i_max(-100000, i_min(negated, setup.steps - 1));
}

float intensity_amplitude(int index, const da_DIntensitySetup& setup) {
    // Indices outside 0 .. steps − 1 (only from a damaged stream) follow the
    // same formula; far ones just give 0 or infinity.
    const double step_db = -static_cast<double>(setup.range) / static_cast<double>(setup.steps);
    const float d = static_cast<float>(step_db * static_cast<double>(index));
    return db_to_amplify(d);
}

namespace {

// The root of each line's mean power over both channels: |c| as c_abs gives
// it, squared, and the mean and its root in double.
void mean_magnitudes(const float* left, const float* right, float* out, int count) {
    for (int i = 0; i < count; ++i) {
        const float l2 = r_sqr(c_abs(left + 2 * i));
        const float r2 = r_sqr(c_abs(right + 2 * i));
        const double mean = (static_cast<double>(l2) + static_cast<double>(r2)) / 2.0;
        out[i] = static_cast<float>(std::sqrt(mean));
    }
}

}  // namespace

const CpuVariants<void(const float*, const float*, float*, int)> intensity_mean_magnitudes =
    cpu_variants_of<mean_magnitudes>;

da_IntensityTables::da_IntensityTables(da_DGlobalSettings global, da_DIntensitySetup setup,
                                       IndexTable index)
    : index_table(env_quad_itab(global.lines)), band_weights(setup.bands) {
    env_itable_arange(index_table.data(), global.lines, setup.bands, 1.0f);
    shares.prepare(index_table.data(), global.lines, setup.bands);
    std::vector<float> slots(setup.bands + 2);
    env_iweights_to(shares, band_weights.data(), slots.data());
    shares.free_spare();
    if (index == IndexTable::dropped) std::vector<float>().swap(index_table);
}

IntensityEnvelopeMeter::IntensityEnvelopeMeter(const da_DGlobalSettings& global,
                                               const da_DIntensitySetup& setup,
                                               const da_IntensityTables& tables)
    : tables_(tables),
      magnitude_(global.lines),
      envelope_(setup.bands),
      scratch_(global.lines, setup.bands) {}

void IntensityEnvelopeMeter::measure(const float* left, const float* right) {
    const int n = static_cast<int>(magnitude_.size());
    intensity_mean_magnitudes(left, right, magnitude_.data(), n);
    env_lowres_iter_to(tables_.shares, tables_.band_weights.data(), magnitude_.data(), 0.0f, 1.0f,
                       4, envelope_.data(), scratch_);
}

da_BandLevelMeasure::da_BandLevelMeasure(const da_DGlobalSettings& global,
                                         const da_DIntensitySetup& setup,
                                         const da_IntensityTables& tables)
    : setup_(setup), meter_(global, setup, tables) {}

void da_BandLevelMeasure::work() {
    const int bands = setup_.bands;
    const float floor_db = static_cast<float>(-setup_.range);
    const float floor_amplitude = db_to_amplify(floor_db);
    while (input.queued() >= 2) {
        auto left = input.get_data();
        auto right = input.get_data();
        meter_.measure(left.get(), right.get());
        const std::vector<float>& envelope = meter_.envelope();

        auto index = item_alloc<int>(bands);
        for (int j = 0; j < bands; ++j)
            index[j] = intensity_index(
                coded_level_db(j, amplify_to_db(envelope[j], floor_db, floor_amplitude)), setup_);

        output1.put_data(std::move(left));
        output1.put_data(std::move(right));
        output2.put_data(std::move(index));
    }
}

da_IntensityMeasure::da_IntensityMeasure(const da_DGlobalSettings& global,
                                         const da_DIntensitySetup& setup,
                                         const da_IntensityTables& tables)
    : da_BandLevelMeasure(global, setup, tables) {
    name = "da_IntensityMeasure";
}

da_IntensityEnvCreation::da_IntensityEnvCreation(const da_DGlobalSettings& global,
                                                 const da_DIntensitySetup& setup,
                                                 const da_IntensityTables& tables)
    : n_(global.lines),
      setup_(setup),
      tables_(tables),
      step_amplitudes_(setup.steps > 0 ? setup.steps : 0),
      amplitude_(setup.bands),
      slots_(setup.bands + 2) {
    name = "da_IntensityEnvCreation";
    // A stream's indices lie in 0 .. steps - 1: their amplitudes are worked
    // out once, by the same function, instead of a power per band and frame.
    for (int k = 0; k < static_cast<int>(step_amplitudes_.size()); ++k)
        step_amplitudes_[k] = intensity_amplitude(k, setup_);
}

void da_IntensityEnvCreation::work() {
    const int bands = setup_.bands;
    while (input.queued() >= 1) {
        auto index = input.get_data();
        const auto steps = static_cast<unsigned>(step_amplitudes_.size());
        for (int j = 0; j < bands; ++j) {
            const auto k = static_cast<unsigned>(index[j]);
            amplitude_[j] = k < steps ? step_amplitudes_[k] : intensity_amplitude(index[j], setup_);
        }
        auto envelope = item_alloc<float>(n_);
        env_highres_to(tables_.shares, amplitude_.data(), envelope.get(), slots_.data());
        output1.put_data(std::move(index));
        output2.put_data(std::move(envelope));
    }
}

}  // namespace x91
