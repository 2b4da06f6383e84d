#include "dsp/cdda_mdcst.h"

#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "dsp/cpu_variants.h"
#include "dsp/fft_internal.h"
#include "dsp/mdcst.h"
#include "dsp/numeric.h"

namespace x91 {

namespace {

constexpr int frame_floats = 2 * 1764;
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

// The block's samples are the held tail plus the first half of the new frame;
// the second half, added to silence as the accumulator always did, becomes
// the new tail.
void overlap_add_block(float* tail, const float* y, unsigned char* block) {
    std::int16_t samples[half_floats];
    for (int i = 0; i < half_floats; ++i)
        samples[i] = static_cast<std::int16_t>(limited_sample(tail[i] + y[i]));
    for (int i = 0; i < half_floats; ++i) tail[i] = 0.0f + y[half_floats + i];
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

const CpuVariants<void(float*, const float*, unsigned char*)> cdda_overlap_add =
    cpu_variants_of<overlap_add_block>;

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

void da_CDDA_iMDCST::inverse_frame(const float* a, const float* b, float* y) const {
    if (used_lines_ > 881) {
        stereo_imdcst_1764(a, b, y);
        return;
    }
    // Lines never coded are decoded as silence; only they are cleared, the
    // coded ones are copied over once.
    float pa[half_floats];
    float pb[half_floats];
    const int used_floats = 2 * used_lines_;
    const auto used_bytes = static_cast<std::size_t>(used_floats) * sizeof(float);
    const auto rest_bytes = (half_floats - static_cast<std::size_t>(used_floats)) * sizeof(float);
    std::memcpy(pa, a, used_bytes);
    std::memcpy(pb, b, used_bytes);
    std::memset(pa + used_floats, 0, rest_bytes);
    std::memset(pb + used_floats, 0, rest_bytes);
    stereo_imdcst_1764(pa, pb, y);
}

void da_CDDA_iMDCST::work() {
    while (input.queued() >= 2) {
        float y[frame_floats];
        {
            const auto a = input.get_data();
            const auto b = input.get_data();
            inverse_frame(a.get(), b.get(), y);
        }  // the spectra are released before the block is made

        auto block = item_alloc<unsigned char>(cdda_block_bytes);
        cdda_overlap_add(tail_, y, block.get());
        output.put_data(std::move(block));
    }
}

}  // namespace x91
