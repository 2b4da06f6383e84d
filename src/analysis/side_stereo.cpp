#include "analysis/side_stereo.h"

#include <algorithm>
#include <cmath>

#include "analysis/cpu_variants.h"
#include "dsp/numeric.h"
#include "framework/float_lanes.h"
#include "quant/scalar_quantizers.h"

namespace x91 {

namespace {

// Flat per-line loops of the stereo map, built for each CPU level; lanes
// round as scalar floats do.
void square_roots(const float* in, float* out, int count) {
    for (int i = 0; i < count; ++i) out[i] = std::sqrt(in[i]);
}

void add_slope(float* map, int count, float slope) {
    for (int i = 0; i < count; ++i) map[i] = map[i] + static_cast<float>(i) * slope;
}

// The running sums along the lines of up to eight maps at once, one map per
// vector lane, in place; totals[f] is map f's last sum. Each lane adds in
// line order, as one map alone would.
void running_sums(int frames, float* const* maps, int n, float* totals) {
    f32x8 sum = {};
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        f32x8 r[8];
        for (int f = 0; f < 8; ++f) r[f] = f < frames ? load8(maps[f] + i) : f32x8{};
        transpose8x8(r);
        for (int j = 0; j < 8; ++j) {
            sum = sum + r[j];
            r[j] = sum;
        }
        transpose8x8(r);
        for (int f = 0; f < frames; ++f) store8(maps[f] + i, r[f]);
    }
    for (int f = 0; f < frames; ++f) {
        float s = sum[f];
        for (int k = i; k < n; ++k) {
            s = s + maps[f][k];
            maps[f][k] = s;
        }
        totals[f] = s;
    }
}

// |c| of each complex line (re, im), as c_abs gives it.
void line_magnitudes(const float* c, float* out, int count) {
    for (int i = 0; i < count; ++i) out[i] = c_abs(c + 2 * i);
}

}  // namespace

const CpuVariants<void(const float*, float*, int)> stereo_square_roots =
    cpu_variants_of<square_roots>;
const CpuVariants<void(const float*, float*, int)> stereo_line_magnitudes =
    cpu_variants_of<line_magnitudes>;
const CpuVariants<void(float*, int, float)> stereo_add_slope = cpu_variants_of<add_slope>;
const CpuVariants<void(int, float* const*, int, float*)> stereo_running_sums =
    cpu_variants_of<running_sums>;

da_StereoMapCreator::da_StereoMapCreator(const da_DGlobalSettings& global,
                                         const da_DSideStereoSetup& setup)
    : n_(global.lines), bands_(setup.bands) {
    name = "da_StereoMapCreator";
}

void da_StereoMapCreator::work() {
    while (input.queued() >= 1) {
        // Up to eight frames at once (a decoder's packet brings many): the
        // running sums, a recurrence along the lines, run side by side.
        const int frames = std::min(input.queued(), kLanes);
        QueueItem<float> envelopes[kLanes];
        Item<float> maps[kLanes];
        float* rows[kLanes];
        float totals[kLanes];
        for (int f = 0; f < frames; ++f) {
            envelopes[f] = input.get_data();
            maps[f] = item_alloc<float>(n_);
            rows[f] = maps[f].get();
            // Square roots first (a flat loop that vectorises), then their
            // running sum in line order.
            stereo_square_roots(envelopes[f].get(), rows[f], n_);
        }
        stereo_running_sums(frames, rows, n_, totals);
        for (int f = 0; f < frames; ++f) {
            // About one part in bands + 1 of the scale spread evenly over the
            // lines; the int product stays below 2^22 for any line count in use.
            stereo_add_slope(rows[f], n_, totals[f] / static_cast<float>(bands_ * n_));
            env_itable_arange(rows[f], n_, bands_, 1.0f);
            output1.put_data(std::move(envelopes[f]));
            output2.put_data(std::move(maps[f]));
        }
    }
}

da_StereoSideMeasure::da_StereoSideMeasure(const da_DGlobalSettings& global,
                                           const da_DIntensitySetup& intensity,
                                           const da_DSideStereoSetup& setup)
    : n_(global.lines),
      range_(intensity.range),
      bands_(setup.bands),
      levels_(setup.levels),
      weights_(setup.bands),
      magnitude_left_(global.lines),
      magnitude_right_(global.lines),
      band_left_(setup.bands),
      band_right_(setup.bands),
      scratch_(global.lines, setup.bands) {
    name = "da_StereoSideMeasure";
}

void da_StereoSideMeasure::work() {
    while (input1.queued() >= 2 && input2.queued() >= 1) {
        auto left = input1.get_data();
        auto right = input1.get_data();
        auto map = input2.get_data();

        // One map serves the weights and both channels' band values.
        env_Shares& shares = scratch_.shares;
        shares.prepare(map.get(), n_, bands_);
        env_iweights_to(shares, weights_.data(), scratch_.slots.data());
        stereo_line_magnitudes(left.get(), magnitude_left_.data(), n_);
        stereo_line_magnitudes(right.get(), magnitude_right_.data(), n_);
        env_lowres_iter_to(shares, weights_.data(), magnitude_left_.data(), 0.0f, 1.0f, 0,
                           band_left_.data(), scratch_);
        env_lowres_iter_to(shares, weights_.data(), magnitude_right_.data(), 0.0f, 1.0f, 0,
                           band_right_.data(), scratch_);

        // The floor keeps the quotient finite in silent bands, where it
        // gives the middle level.
        const float floor = db_to_amplify(static_cast<float>(-range_));
        auto index = item_alloc<int>(bands_);
        for (int j = 0; j < bands_; ++j) {
            const float balance =
                (band_left_[j] - band_right_[j]) / (band_left_[j] + band_right_[j] + floor);
            index[j] = _range_to_zn(balance, -1.0f, 1.0f, levels_);
        }

        output1.put_data(std::move(left));
        output1.put_data(std::move(right));
        output2.put_data(std::move(map));
        output3.put_data(std::move(index));
    }
}

namespace {

// Every line's rotation is independent of the others, so the loop runs in
// vector lanes with each lane's float operations as written.
void rotate_pairs(int n, float direction, const float* line_balance, float* left, float* right) {
    for (int i = 0; i < n; ++i) {
        // Unit vector of angle atan(direction·(1 − h)/h): h = 1 leaves
        // the pair alone, h = ½ gives the sum and difference over √2.
        const float h = line_balance[i];
        float c[2] = {h, direction * (1.0f - h)};
        c_mulequ_r(c, 1.0f / c_abs(c));
        const float cr = c[0];
        const float ci = c[1];
        float* l = left + 2 * i;
        float* r = right + 2 * i;
        for (int part = 0; part < 2; ++part) {
            const float old_l = l[part];
            const float old_r = r[part];
            l[part] = cr * old_l + ci * old_r;
            r[part] = cr * old_r - ci * old_l;
        }
    }
}

}  // namespace

const CpuVariants<void(int, float, const float*, float*, float*)> stereo_rotate_pairs =
    cpu_variants_of<rotate_pairs>;

da_StereoSideTransform::da_StereoSideTransform(const da_DGlobalSettings& global,
                                               const da_DSideStereoSetup& setup, int direction, int)
    : n_(global.lines),
      bands_(setup.bands),
      levels_(setup.levels),
      direction_(direction),
      balance_(setup.bands),
      line_balance_(global.lines),
      slots_(setup.bands + 2) {
    name = "da_StereoSideTransform";
}

void da_StereoSideTransform::work() {
    const float direction = static_cast<float>(direction_);
    while (input1.queued() >= 2 && input2.queued() >= 1 && input3.queued() >= 1) {
        auto left = input1.get_data();
        auto right = input1.get_data();
        auto index = input3.get_data();
        auto map = input2.get_data();

        // Indices outside 0 .. levels − 1 (a damaged stream) give balances
        // outside [0, 1]; the rotation below stays a finite rotation.
        for (int j = 0; j < bands_; ++j) balance_[j] = _zn_to_range(index[j], 0.0f, 1.0f, levels_);
        shares_.prepare(map.get(), n_, bands_, ShareSums::line_by_line);
        env_highres_to(shares_, balance_.data(), line_balance_.data(), slots_.data());
        stereo_rotate_pairs(n_, direction, line_balance_.data(), left.get(), right.get());

        output2.put_data(std::move(map));
        output3.put_data(std::move(index));
        output1.put_data(std::move(left));
        output1.put_data(std::move(right));
    }
}

}  // namespace x91
