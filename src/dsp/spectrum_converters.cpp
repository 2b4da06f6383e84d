#include "dsp/spectrum_converters.h"

#include <cstddef>
#include <utility>

#include "dsp/fft_internal.h"
#include "dsp/numeric.h"

namespace x91 {

namespace {

// The per-line conversions as flat loops, also built for AVX2 where the CPU
// has it; each line is the same single product.
X91_DISPATCH void real_parts_scaled(const float* s, float* r, int lines) {
    for (int i = 0; i < lines; ++i) r[i] = s[2 * i] * r_sqrt_two;
}

X91_DISPATCH void complex_from_real(const float* r, float* s, int lines) {
    for (int i = 0; i < lines; ++i) {
        s[2 * i] = r[i] * r_sqrt_two;
        s[2 * i + 1] = 0.0f;
    }
}

}  // namespace

// A negative line count (only a damaged setting could give one) converts no
// lines instead of asking for an impossible allocation.
da_CRSpecsTransform::da_CRSpecsTransform(const da_DGlobalSettings& settings)
    : lines_(settings.lines) {
    name = "da_CRSpecsTransform";
}

void da_CRSpecsTransform::work() {
    while (input.queued() >= 1) {
        auto s = input.get_data();
        auto r = item_alloc<float>(static_cast<std::size_t>(lines_));
        real_parts_scaled(s.get(), r.get(), lines_);
        output1.put_data(std::move(s));
        output2.put_data(std::move(r));
    }
}

da_RCSpecsTransform::da_RCSpecsTransform(const da_DGlobalSettings& settings)
    : lines_(settings.lines) {
    name = "da_RCSpecsTransform";
}

void da_RCSpecsTransform::work() {
    while (input.queued() >= 1) {
        auto r = input.get_data();
        auto s = item_alloc<float>(static_cast<std::size_t>(2 * lines_));
        complex_from_real(r.get(), s.get(), lines_);
        output1.put_data(std::move(r));
        output2.put_data(std::move(s));
    }
}

}  // namespace x91
