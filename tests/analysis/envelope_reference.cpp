#include "analysis/envelope_reference.h"

#include <cmath>

#include "analysis/band_envelope.h"
#include "dsp/numeric.h"

namespace x91 {

namespace {

// A line's split between slot and slot + 1.
struct Split {
    int slot;
    float lower;
    float upper;
};

// Floor and smooth step of the line's position. Positions outside
// [0, bands + 1), which only damaged input gives, count wholly towards the
// nearer end; NaN towards the first.
Split split_of(float position, int bands) {
    if (!(position >= 0.0f)) return {0, 1.0f, 0.0f};
    if (position >= static_cast<float>(bands + 1)) return {bands, 0.0f, 1.0f};
    const float floor = std::floor(position);
    const float upper = env_overlap(position - floor);
    return {static_cast<int>(floor), 1.0f - upper, upper};
}

// Slots 0 .. bands + 1 of the lines' shares, scaled by their values (bare
// shares without values), the outer two folded into the end bands.
std::vector<float> slot_sums(const float* itab, int count, int bands, const float* values) {
    std::vector<float> slots(static_cast<std::size_t>(bands) + 2, 0.0f);
    for (int i = 0; i < count; ++i) {
        const Split s = split_of(itab[i], bands);
        const float v = values != nullptr ? values[i] : 1.0f;
        slots[s.slot] += s.lower * v;
        slots[s.slot + 1] += s.upper * v;
    }
    slots[1] += slots[0];
    slots[bands] += slots[bands + 1];
    return slots;
}

}  // namespace

std::vector<float> env_iweights(const float* itab, int count, int bands) {
    if (bands <= 0) return {};
    const std::vector<float> slots = slot_sums(itab, count, bands, nullptr);
    return std::vector<float>(slots.begin() + 1, slots.end() - 1);
}

std::vector<float> env_lowres(const float* itab, int count, int bands, const float* weights,
                              const float* values) {
    if (bands <= 0) return {};
    const std::vector<float> slots = slot_sums(itab, count, bands, values);
    std::vector<float> out(bands);
    for (int j = 0; j < bands; ++j) out[j] = slots[j + 1] / weights[j];
    return out;
}

std::vector<float> env_highres(const float* itab, int count, int bands, const float* lowres) {
    std::vector<float> out(count > 0 ? count : 0, 0.0f);
    if (bands <= 0) return out;
    // The outer slots repeat the end bands.
    std::vector<float> slots(static_cast<std::size_t>(bands) + 2);
    slots[0] = lowres[0];
    for (int j = 0; j < bands; ++j) slots[j + 1] = lowres[j];
    slots[bands + 1] = lowres[bands - 1];
    for (int i = 0; i < count; ++i) {
        const Split s = split_of(itab[i], bands);
        out[i] = s.lower * slots[s.slot] + s.upper * slots[s.slot + 1];
    }
    return out;
}

std::vector<float> env_lowres_iter(const float* itab, int count, int bands, const float* weights,
                                   const float* values, float lo, float hi, int iterations) {
    std::vector<float> out = env_lowres(itab, count, bands, weights, values);
    for (float& v : out) v = r_min(hi, r_max(lo, v));
    std::vector<float> residual(count > 0 ? count : 0);
    for (int pass = 0; pass < iterations; ++pass) {
        const std::vector<float> fit = env_highres(itab, count, bands, out.data());
        for (int i = 0; i < count; ++i) residual[i] = values[i] - fit[i];
        const std::vector<float> update = env_lowres(itab, count, bands, weights, residual.data());
        for (int j = 0; j < bands; ++j) out[j] = r_min(hi, r_max(lo, out[j] + update[j]));
    }
    return out;
}

}  // namespace x91
