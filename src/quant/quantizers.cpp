#include "quant/quantizers.h"

#include <memory>
#include <vector>

#include "dsp/block_transforms.h"
#include "dsp/numeric.h"
#include "framework/queue_item.h"

namespace x91 {

namespace {

void copy_block(const float* src, float* dst) {
    for (int i = 0; i < 56; ++i) dst[i] = src[i];
}

}  // namespace

da_QuantizeBaseClass::da_QuantizeBaseClass(const da_DGlobalSettings& global,
                                           const da_IQuantizeSetup& setup)
    : n_(global.lines), b_(setup.base), levels_(kLevelTableSize) {
    for (int k = 0; k < kLevelTableSize; ++k) levels_[k] = log_dequant(k, b_);
}

da_ArraySetup da_QuantizeBaseClass::rots_as() const {
    return da_ArraySetup{2 * blocks(), 2};
}

float da_QuantizeBaseClass::level_beyond_table(int k) const {
    return log_dequant(k, b_);
}

da_Quantizator::da_Quantizator(const da_DGlobalSettings& global, const da_IQuantizeSetup& setup,
                               da_EQuantizeSetup encoder)
    : da_QuantizeBaseClass(global, setup),
      setup_(encoder),
      quantizer_(setup.base, encoder.rounding_point) {
    name = "da_Quantizator";
}

void da_Quantizator::choose_block_forms(float* left, float* right, int* flags) const {
    // Each block's sine form depends on that block alone, so all of them are
    // computed in one batch before any block is replaced.
    const int count = blocks();
    // Every value is written by the transform: no zero fill first.
    const auto sine =
        std::make_unique_for_overwrite<float[]>(2 * static_cast<std::size_t>(count) * kBlock);
    std::vector<const float*> in_l(count), in_r(count);
    std::vector<float*> out_l(count), out_r(count);
    for (int e = 0; e < count; ++e) {
        in_l[e] = left + kBlock * e;
        in_r[e] = right + kBlock * e;
        out_l[e] = sine.get() + 2 * kBlock * e;
        out_r[e] = out_l[e] + kBlock;
    }
    hvst56_many(count, in_l.data(), in_r.data(), out_l.data(), out_r.data());
    for (int e = 0; e < count; ++e) {
        float* l = left + kBlock * e;
        float* r = right + kBlock * e;
        const float* a = out_l[e];
        const float* b = out_r[e];
        // The sine form must be sparser by a margin (the sum of magnitudes
        // is the cost proxy); ties keep the plain form. Block 0 has its own
        // margin.
        const float t = e == 0 ? setup_.first_block_threshold : setup_.block_threshold;
        const float limit_l = t * ra_amplitude(l, kBlock);
        flags[2 * e] = ra_amplitude(a, kBlock) < limit_l ? 1 : 0;
        if (flags[2 * e]) copy_block(a, l);
        const float limit_r = t * ra_amplitude(r, kBlock);
        flags[2 * e + 1] = ra_amplitude(b, kBlock) < limit_r ? 1 : 0;
        if (flags[2 * e + 1]) copy_block(b, r);
    }
}

void da_Quantizator::work() {
    while (spectrum_input->queued() >= 2 && curve_input->queued() >= 1) {
        auto* curve = static_cast<float*>(curve_input->get_data());
        auto* left = static_cast<float*>(spectrum_input->get_data());
        auto* right = static_cast<float*>(spectrum_input->get_data());

        for (int i = 0; i < n_; ++i) left[i] = left[i] / curve[i];
        for (int i = 0; i < n_; ++i) right[i] = right[i] / curve[i];
        // Rotations across the block boundaries soften the block edges
        // before the sine transform sees them.
        for (int d = kHalfBlock; d + kBlock <= n_; d += kBlock) {
            overlap56(left + d, left + d);
            overlap56(right + d, right + d);
        }
        int* flags = item_alloc<int>(2 * blocks());
        choose_block_forms(left, right, flags);

        int* index_left = item_alloc<int>(n_);
        int* index_right = item_alloc<int>(n_);
        for (int i = 0; i < n_; ++i) {
            index_left[i] = quantizer_(left[i]);
            left[i] = level(index_left[i]);
        }
        for (int i = 0; i < n_; ++i) {
            index_right[i] = quantizer_(right[i]);
            right[i] = level(index_right[i]);
        }

        curve_output->put_data(curve);
        spectrum_output->put_data(left);
        spectrum_output->put_data(right);
        index_output->put_data(index_left);
        index_output->put_data(index_right);
        flag_output->put_data(flags);
    }
}

da_DeQuantizator::da_DeQuantizator(const da_DGlobalSettings& global, const da_IQuantizeSetup& setup)
    : da_QuantizeBaseClass(global, setup) {
    name = "da_DeQuantizator";
}

void da_DeQuantizator::work() {
    while (flag_input->queued() >= 1 && index_input->queued() >= 2 && curve_input->queued() >= 1) {
        auto* index_left = static_cast<int*>(index_input->get_data());
        auto* index_right = static_cast<int*>(index_input->get_data());
        auto* curve = static_cast<float*>(curve_input->get_data());
        auto* flags = static_cast<int*>(flag_input->get_data());

        float* left = item_alloc<float>(n_);
        float* right = item_alloc<float>(n_);
        for (int i = 0; i < n_; ++i) left[i] = level(index_left[i]);
        for (int i = 0; i < n_; ++i) right[i] = level(index_right[i]);

        // Blocks with a sine form are transformed back together in one batch.
        std::vector<int> sine_blocks;
        for (int e = 0; e < blocks(); ++e) {
            // Summed in 64 bits: flags from a damaged stream may be any int.
            const long long flag_sum = static_cast<long long>(flags[2 * e]) + flags[2 * e + 1];
            if (flag_sum > 0) sine_blocks.push_back(e);
        }
        const int count = static_cast<int>(sine_blocks.size());
        std::vector<float> plain(2 * static_cast<std::size_t>(count) * kBlock);
        std::vector<const float*> in_l(count), in_r(count);
        std::vector<float*> out_l(count), out_r(count);
        for (int j = 0; j < count; ++j) {
            in_l[j] = left + kBlock * sine_blocks[j];
            in_r[j] = right + kBlock * sine_blocks[j];
            out_l[j] = plain.data() + 2 * kBlock * j;
            out_r[j] = out_l[j] + kBlock;
        }
        ihvst56_many(count, in_l.data(), in_r.data(), out_l.data(), out_r.data());
        for (int j = 0; j < count; ++j) {
            const int e = sine_blocks[j];
            if (flags[2 * e] == 1) copy_block(out_l[j], left + kBlock * e);
            if (flags[2 * e + 1] == 1) copy_block(out_r[j], right + kBlock * e);
        }
        for (int d = kHalfBlock; d + kBlock <= n_; d += kBlock) {
            ioverlap56(left + d, left + d);
            ioverlap56(right + d, right + d);
        }
        for (int i = 0; i < n_; ++i) left[i] = left[i] * curve[i];
        for (int i = 0; i < n_; ++i) right[i] = right[i] * curve[i];

        flag_output->put_data(flags);
        index_output->put_data(index_left);
        index_output->put_data(index_right);
        curve_output->put_data(curve);
        spectrum_output->put_data(left);
        spectrum_output->put_data(right);
    }
}

}  // namespace x91
