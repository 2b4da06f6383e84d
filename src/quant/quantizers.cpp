#include "quant/quantizers.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "dsp/block_transforms.h"
#include "dsp/numeric.h"
#include "framework/float_lanes.h"
#include "quant/cpu_variants.h"

#ifdef X91_CPU_AVX2
#include <immintrin.h>
#endif

namespace x91 {

namespace {

// out[i] = table[index[i] + middle] for count lines, where every such slot
// lies in [0, size); false as soon as one does not (out is then unfinished).
// Floats are only copied.
bool table_levels_portable(const float* table, int size, int middle, const int* index, float* out,
                           int count) {
    for (int i = 0; i < count; ++i) {
        const unsigned slot = static_cast<unsigned>(index[i]) + static_cast<unsigned>(middle);
        if (slot >= static_cast<unsigned>(size)) return false;
        out[i] = table[slot];
    }
    return true;
}

#ifdef X91_CPU_AVX2
// The same eight lines at a time: where all eight levels lie within four of
// the middle (as most of a spectrum's do), the look-ups are one permutation
// of the eight table entries there; elsewhere they are gathers.
X91_TARGET_AVX2 bool table_levels_avx2(const float* table, int size, int middle, const int* index,
                                       float* out, int count) {
    int i = 0;
    const __m256i offset = _mm256_set1_epi32(middle);
    const __m256i top = _mm256_set1_epi32(size - 1);
    const bool has_near = middle >= 4 && middle + 4 <= size;
    const __m256 near = has_near ? _mm256_loadu_ps(table + middle - 4) : _mm256_setzero_ps();
    const __m256i four = _mm256_set1_epi32(4);
    const __m256i seven = _mm256_set1_epi32(7);
    for (; i + 8 <= count; i += 8) {
        const __m256i k = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index + i));
        // Unsigned: an entry below the first (or one that wrapped) is above the last.
        const __m256i around = _mm256_add_epi32(k, four);
        if (has_near && _mm256_movemask_epi8(
                            _mm256_cmpeq_epi32(_mm256_min_epu32(around, seven), around)) == -1) {
            _mm256_storeu_ps(out + i, _mm256_permutevar8x32_ps(near, around));
            continue;
        }
        const __m256i slot = _mm256_add_epi32(k, offset);
        const __m256i inside = _mm256_cmpeq_epi32(_mm256_min_epu32(slot, top), slot);
        if (_mm256_movemask_epi8(inside) != -1) return false;
        _mm256_storeu_ps(out + i, _mm256_i32gather_ps(table, slot, 4));
    }
    return table_levels_portable(table, size, middle, index + i, out + i, count - i);
}
#endif

// x[i] = x[i] * curve[i]: one product per line.
void scale_lines(float* x, const float* curve, int count) {
    for (int i = 0; i < count; ++i) x[i] = x[i] * curve[i];
}

// s[2i] = x[i]·curve[i]·√½ and s[2i + 1] = 0: the curve's scaling and the
// conversion to complex lines in one pass, with the two products rounded as
// the passes apart round them.
void scale_lines_complex(const float* x, const float* curve, float* s, int count) {
    for (int i = 0; i < count; ++i) {
        const float scaled = x[i] * curve[i];
        s[2 * i] = scaled * r_sqrt_two;
        s[2 * i + 1] = 0.0f;
    }
}

// out[e] = ra_amplitude(blocks[e], 56) for count blocks, eight blocks at a
// time in vector lanes: each lane adds its block's magnitudes in line order,
// as the sum of one block does, without waiting for the other blocks' sums.
void block_amplitudes(int count, const float* const* blocks, float* out) {
    constexpr int kBlock = 56;
    for (int first = 0; first < count; first += 8) {
        const int used = count - first < 8 ? count - first : 8;
        f32x8 sum = {};
        for (int c = 0; c < kBlock; c += 8) {
            f32x8 r[8];
            for (int lane = 0; lane < 8; ++lane)
                r[lane] = lane < used ? load8(blocks[first + lane] + c) : f32x8{};
            transpose8x8(r);
            for (int j = 0; j < 8; ++j) {
                f32x8 magnitude;
                for (int lane = 0; lane < 8; ++lane)
                    magnitude[lane] = std::sqrt(r[j][lane] * r[j][lane]);
                sum = sum + magnitude;
            }
        }
        for (int lane = 0; lane < used; ++lane) out[first + lane] = sum[lane];
    }
}

}  // namespace

const CpuVariants<void(int, const float* const*, float*)> quant_block_amplitudes =
    cpu_variants_of<block_amplitudes>;
const CpuVariants<bool(const float*, int, int, const int*, float*, int)> quant_table_levels = {
    table_levels_portable, X91_AVX2_OR(table_levels_avx2, table_levels_portable)};
const CpuVariants<void(float*, const float*, int)> quant_scale_lines = cpu_variants_of<scale_lines>;
const CpuVariants<void(const float*, const float*, float*, int)> quant_scale_lines_complex =
    cpu_variants_of<scale_lines_complex>;

namespace {

void copy_block(const float* src, float* dst) {
    for (int i = 0; i < 56; ++i) dst[i] = src[i];
}

}  // namespace

da_QuantizeBaseClass::da_QuantizeBaseClass(const da_DGlobalSettings& global,
                                           const da_IQuantizeSetup& setup)
    : n_(global.lines), b_(setup.base), levels_(2 * kLevelTableSize - 1) {
    for (int k = 1 - kLevelTableSize; k < kLevelTableSize; ++k)
        levels_[k + kLevelTableSize - 1] = log_dequant(k, b_);
}

void da_QuantizeBaseClass::levels_to(const int* index, float* out) const {
    if (!quant_table_levels(levels_.data(), static_cast<int>(levels_.size()), kLevelTableSize - 1,
                            index, out, n_))
        for (int i = 0; i < n_; ++i) out[i] = level(index[i]);
}

da_ArraySetup da_QuantizeBaseClass::rots_as() const {
    return rots_as(da_DGlobalSettings{n_});
}

da_ArraySetup da_QuantizeBaseClass::rots_as(const da_DGlobalSettings& global) {
    return da_ArraySetup{2 * (global.lines / kBlock), 2};
}

float da_QuantizeBaseClass::level_beyond_table(int k) const {
    return log_dequant(k, b_);
}

da_Quantizator::da_Quantizator(const da_DGlobalSettings& global, const da_IQuantizeSetup& setup,
                               da_EQuantizeSetup encoder)
    : da_SpectrumQuantizer(global, setup),
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
    // The sums of magnitudes (the cost proxy) of both forms of every block.
    std::vector<float> amplitudes(4 * static_cast<std::size_t>(count));
    float* plain_l = amplitudes.data();
    float* plain_r = plain_l + count;
    float* sine_l = plain_r + count;
    float* sine_r = sine_l + count;
    quant_block_amplitudes(count, in_l.data(), plain_l);
    quant_block_amplitudes(count, in_r.data(), plain_r);
    quant_block_amplitudes(count, out_l.data(), sine_l);
    quant_block_amplitudes(count, out_r.data(), sine_r);
    for (int e = 0; e < count; ++e) {
        // The sine form must be sparser by a margin; ties keep the plain
        // form. Block 0 has its own margin.
        const float t = e == 0 ? setup_.first_block_threshold : setup_.block_threshold;
        flags[2 * e] = sine_l[e] < t * plain_l[e] ? 1 : 0;
        if (flags[2 * e]) copy_block(out_l[e], left + kBlock * e);
        flags[2 * e + 1] = sine_r[e] < t * plain_r[e] ? 1 : 0;
        if (flags[2 * e + 1]) copy_block(out_r[e], right + kBlock * e);
    }
}

void da_QuantizeBaseClass::normalise_and_soften(float* left, float* right,
                                                const float* curve) const {
    for (int i = 0; i < n_; ++i) left[i] = left[i] / curve[i];
    for (int i = 0; i < n_; ++i) right[i] = right[i] / curve[i];
    for (int d = kHalfBlock; d + kBlock <= n_; d += kBlock) {
        overlap56(left + d, left + d);
        overlap56(right + d, right + d);
    }
}

void da_SpectrumQuantizer::work() {
    while (spectrum_input.queued() >= 2 && curve_input.queued() >= 1) {
        auto curve_item = curve_input.get_data();
        auto left_item = spectrum_input.get_data();
        auto right_item = spectrum_input.get_data();
        float* left = left_item.get();
        float* right = right_item.get();

        normalise_and_soften(left, right, curve_item.get());
        auto flags = item_alloc<int>(2 * blocks());
        auto index_left = item_alloc<int>(n_);
        auto index_right = item_alloc<int>(n_);
        quantize_frame(left, right, index_left.get(), index_right.get(), flags.get());

        curve_output.put_data(std::move(curve_item));
        spectrum_output.put_data(std::move(left_item));
        spectrum_output.put_data(std::move(right_item));
        index_output.put_data(std::move(index_left));
        index_output.put_data(std::move(index_right));
        flag_output.put_data(std::move(flags));
    }
}

void da_Quantizator::quantize_frame(float* left, float* right, int* index_left, int* index_right,
                                    int* flags) {
    choose_block_forms(left, right, flags);
    quantizer_.indices(left, index_left, n_);
    quantizer_.indices(right, index_right, n_);
}

da_DeQuantizator::da_DeQuantizator(const da_DGlobalSettings& global, const da_IQuantizeSetup& setup,
                                   DequantisedForm form)
    : da_QuantizeBaseClass(global, setup),
      form_(form),
      capacity_((std::max(blocks(), 0) + 7) / 8 * 8) {
    name = "da_DeQuantizator";
    const auto count = static_cast<std::size_t>(capacity_);
    batch_.reserve(kBatchFrames);
    sine_blocks_.resize(count);
    plain_.resize(2 * count * kBlock);
    in_l_.resize(count);
    in_r_.resize(count);
    out_l_.resize(count);
    out_r_.resize(count);
}

// The blocks with a sine form are transformed back in batches across frames,
// so that the transforms' vector lanes fill up (a frame has a few such
// blocks); every frame's values are those it would have alone.
void da_DeQuantizator::work() {
    while (frame_ready()) {
        Frame frame = take_frame();
        if (sine_count_ + sine_block_count(frame.flags.get()) > capacity_ ||
            batch_.size() == kBatchFrames)
            finish_batch();
        add_to_batch(std::move(frame));
    }
    finish_batch();
}

bool da_DeQuantizator::frame_ready() const {
    return flag_input.queued() >= 1 && index_input.queued() >= 2 && curve_input.queued() >= 1;
}

da_DeQuantizator::Frame da_DeQuantizator::take_frame() {
    Frame f;
    f.index_left = index_input.get_data();
    f.index_right = index_input.get_data();
    f.curve = curve_input.get_data();
    f.flags = flag_input.get_data();
    f.left = item_alloc<float>(n_);
    f.right = item_alloc<float>(n_);
    levels_to(f.index_left.get(), f.left.get());
    levels_to(f.index_right.get(), f.right.get());
    return f;
}

// Flag sums in 64 bits: flags from a damaged stream may be any int.
int da_DeQuantizator::sine_block_count(const int* flags) const {
    int count = 0;
    for (int e = 0; e < blocks(); ++e)
        count += static_cast<long long>(flags[2 * e]) + flags[2 * e + 1] > 0;
    return count;
}

void da_DeQuantizator::add_to_batch(Frame frame) {
    const int* flags = frame.flags.get();
    for (int e = 0; e < blocks(); ++e) {
        if (static_cast<long long>(flags[2 * e]) + flags[2 * e + 1] <= 0) continue;
        const int j = sine_count_++;
        sine_blocks_[j] = {static_cast<int>(batch_.size()), e};
        in_l_[j] = frame.left.get() + kBlock * e;
        in_r_[j] = frame.right.get() + kBlock * e;
        out_l_[j] = plain_.data() + 2 * kBlock * j;
        out_r_[j] = out_l_[j] + kBlock;
    }
    batch_.push_back(std::move(frame));
}

void da_DeQuantizator::finish_batch() {
    ihvst56_many(sine_count_, in_l_.data(), in_r_.data(), out_l_.data(), out_r_.data());
    for (int j = 0; j < sine_count_; ++j) {
        const auto [f, e] = sine_blocks_[j];
        const Frame& frame = batch_[f];
        if (frame.flags[2 * e] == 1) copy_block(out_l_[j], frame.left.get() + kBlock * e);
        if (frame.flags[2 * e + 1] == 1) copy_block(out_r_[j], frame.right.get() + kBlock * e);
    }
    for (Frame& frame : batch_) finish_frame(frame);
    batch_.clear();
    sine_count_ = 0;
}

void da_DeQuantizator::finish_frame(Frame& frame) {
    float* left = frame.left.get();
    float* right = frame.right.get();
    for (int d = kHalfBlock; d + kBlock <= n_; d += kBlock) {
        ioverlap56(left + d, left + d);
        ioverlap56(right + d, right + d);
    }
    put_spectrum(std::move(frame.left), frame.curve.get());
    put_spectrum(std::move(frame.right), frame.curve.get());
    flag_output.put_data(std::move(frame.flags));
    index_output.put_data(std::move(frame.index_left));
    index_output.put_data(std::move(frame.index_right));
    curve_output.put_data(std::move(frame.curve));
}

void da_DeQuantizator::put_spectrum(Item<float> lines, const float* curve) {
    if (form_ == DequantisedForm::real_lines) {
        quant_scale_lines(lines.get(), curve, n_);
        spectrum_output.put_data(std::move(lines));
        return;
    }
    auto complex_lines = item_alloc<float>(2 * static_cast<std::size_t>(n_));
    quant_scale_lines_complex(lines.get(), curve, complex_lines.get(), n_);
    spectrum_output.put_data(std::move(complex_lines));
}

}  // namespace x91
