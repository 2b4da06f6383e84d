#include "dsp/cdda_mdcst.h"

#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "dsp/cpu_variants.h"
#include "dsp/fft_internal.h"
#include "dsp/mdcst.h"
#include "dsp/mdcst_1764_steps.h"
#include "dsp/numeric.h"

namespace x91 {

namespace {

constexpr int half_floats = 1764;  // one block: 882 complex values
constexpr float sample_scale = 32768.0f;

// Byte-wise little-endian access, so the layout is right on any host.
float read_sample(const unsigned char* p) {
    const auto bits = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    return static_cast<float>(static_cast<std::int16_t>(bits)) / sample_scale;
}

// Limiting before converting keeps the conversion defined: it only ever sees
// values that truncate into the 16-bit range. Written as selects rather than
// branches so that a loop of them runs in vector lanes.
X91_PASS int limited_sample(float v) {
    const float s = v * sample_scale;
    float c = s >= 32767.0f ? 32767.0f : s;
    c = c <= -32768.0f ? -32768.0f : c;
    c = s != s ? 0.0f : c;
    return static_cast<int>(c);
}

// limited_sample in eight lanes, with its operations and selects.
X91_PASS i32x8 limited_samples8(f32x8 v) {
    const f32x8 s = v * sample_scale;
    f32x8 c = s >= 32767.0f ? f32x8{} + 32767.0f : s;
    c = c <= -32768.0f ? f32x8{} + -32768.0f : c;
    c = s != s ? f32x8{} : c;
    return __builtin_convertvector(c, i32x8);
}

typedef std::int16_t i16x8 __attribute__((vector_size(16)));
typedef std::int16_t i16x16 __attribute__((vector_size(32)));

// The inverse frame of the spectra a and b (their first `lines` lines, the
// rest silent), overlap-added into a block: the block's samples are the held
// tail plus the first half of the frame, and the second half, added to
// silence as the accumulator always did, becomes the new tail. The spectra
// are read in place, and the frame is added up as it comes out of the
// transform, eight values of each channel at a time. The tail is held in
// planes, the 882 left values and then the 882 right ones, as the transform
// gives them: only the samples are interleaved.
void inverse_block(const float* a, const float* b, int lines, float* tail, unsigned char* block) {
    using namespace mdcst_1764;
    const MdcstLongPlanes& t = mdcst_tables->long_frame;
    Planes z, v;
    inverse_input(a, b, t, z, lines);
    dft_1764_planes(z, v);
    std::int16_t samples[half_floats];
    float* tail_left = tail;
    float* tail_right = tail + N;
    // Frame value i is samples 2·i and 2·i + 1 of the block.
    for_lane_groups<N>([&](int i) {
        f32x8 left, right;
        inverse_values8(v, t, i, left, right);
        const i16x8 l =
            __builtin_convertvector(limited_samples8(load8(tail_left + i) + left), i16x8);
        const i16x8 r =
            __builtin_convertvector(limited_samples8(load8(tail_right + i) + right), i16x8);
        const i16x16 pairs =
            __builtin_shufflevector(l, r, 0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
        std::memcpy(samples + 2 * i, &pairs, sizeof pairs);
    });
    for_lane_groups<N>([&](int i) {
        f32x8 left, right;
        inverse_values8(v, t, N + i, left, right);
        store8(tail_left + i, 0.0f + left);
        store8(tail_right + i, 0.0f + right);
    });
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(block, samples, sizeof samples);
    } else {
        for (int i = 0; i < half_floats; ++i) {
            const auto bits = static_cast<std::uint16_t>(samples[i]);
            block[2 * i] = static_cast<unsigned char>(bits & 0xff);
            block[2 * i + 1] = static_cast<unsigned char>(bits >> 8);
        }
    }
}

}  // namespace

const CpuVariants<void(const float*, const float*, int, float*, unsigned char*)>
    cdda_inverse_block = cpu_variants_of<inverse_block>;

int cdda_sample(float v) {
    return limited_sample(v);
}

da_CDDA_MDCST::da_CDDA_MDCST(const da_DGlobalSettings& settings)
    : out_values_(i_max(settings.lines, 882)) {
    name = "da_CDDA_MDCST";
}

void da_CDDA_MDCST::shift_in(const unsigned char* block) {
    std::memmove(frame_, frame_ + half_floats, half_floats * sizeof(float));
    for (int i = 0; i < half_floats; ++i) frame_[half_floats + i] = read_sample(block + 2 * i);
}

void da_CDDA_MDCST::work() {
    while (input.queued() >= 1) {
        // The block is released as soon as its samples are in.
        shift_in(input.get_data().get());

        auto a = item_alloc<float>(static_cast<std::size_t>(2 * out_values_));
        auto b = item_alloc<float>(static_cast<std::size_t>(2 * out_values_));
        stereo_mdcst_1764(frame_, a.get(), b.get());
        for (int i = half_floats; i < 2 * out_values_; ++i) {
            a[i] = 0.0f;
            b[i] = 0.0f;
        }
        output.put_data(std::move(a));
        output.put_data(std::move(b));
    }
}

da_CDDA_iMDCST::da_CDDA_iMDCST(const da_DGlobalSettings& settings) : used_lines_(settings.lines) {
    // The checked settings keep the line count positive: the copy of the
    // coded lines below relies on it.
    assert(used_lines_ > 0);
    name = "da_CDDA_iMDCST";
}

void da_CDDA_iMDCST::inverse_block(const float* a, const float* b, unsigned char* block) {
    fft_require_tables("da_CDDA_iMDCST");
    cdda_inverse_block(a, b, i_min(used_lines_, 882), tail_, block);
}

void da_CDDA_iMDCST::work() {
    while (input.queued() >= 2) {
        auto block = item_alloc<unsigned char>(cdda_block_bytes);
        {
            const auto a = input.get_data();
            const auto b = input.get_data();
            inverse_block(a.get(), b.get(), block.get());
        }  // the spectra are released before the block is passed on
        output.put_data(std::move(block));
    }
}

}  // namespace x91
