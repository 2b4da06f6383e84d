#include "dsp/spectrum_converters.h"

#include <cstddef>
#include <utility>

#include "dsp/cpu_variants.h"
#include "dsp/numeric.h"

namespace x91 {

namespace {

// The per-line conversions as flat loops, built for each CPU level; each
// line is the same single product.
void real_parts_scaled(const float* s, float* r, int lines) {
    for (int i = 0; i < lines; ++i) r[i] = s[2 * i] * r_sqrt_two;
}

void complex_from_real(const float* r, float* s, int lines) {
    for (int i = 0; i < lines; ++i) {
        s[2 * i] = r[i] * r_sqrt_two;
        s[2 * i + 1] = 0.0f;
    }
}

}  // namespace

const CpuVariants<void(const float*, float*, int)> spectrum_real_parts =
    cpu_variants_of<real_parts_scaled>;
const CpuVariants<void(const float*, float*, int)> spectrum_from_real_parts =
    cpu_variants_of<complex_from_real>;

// A negative line count (only a damaged setting could give one) converts no
// lines instead of asking for an impossible allocation.
SpectrumConversion::SpectrumConversion(const da_DGlobalSettings& settings, int values_per_line,
                                       const Convert& convert)
    : lines_(settings.lines), values_per_line_(values_per_line), convert_(convert) {}

void SpectrumConversion::work() {
    while (input.queued() >= 1) {
        auto in = input.get_data();
        auto out = item_alloc<float>(static_cast<std::size_t>(values_per_line_ * lines_));
        convert_(in.get(), out.get(), lines_);
        output1.put_data(std::move(in));
        output2.put_data(std::move(out));
    }
}

da_CRSpecsTransform::da_CRSpecsTransform(const da_DGlobalSettings& settings)
    : SpectrumConversion(settings, 1, spectrum_real_parts) {
    name = "da_CRSpecsTransform";
}

da_RCSpecsTransform::da_RCSpecsTransform(const da_DGlobalSettings& settings)
    : SpectrumConversion(settings, 2, spectrum_from_real_parts) {
    name = "da_RCSpecsTransform";
}

}  // namespace x91
