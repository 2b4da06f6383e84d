#include "dsp/spectrum_converters.h"

#include <cstddef>

#include "dsp/numeric.h"

namespace x91 {

da_CRSpecsTransform::da_CRSpecsTransform(const da_DGlobalSettings& settings)
    : lines_(settings.lines) {
    name = "da_CRSpecsTransform";
}

void da_CRSpecsTransform::work() {
    while (input->queued() >= 1) {
        auto* s = static_cast<float*>(input->get_data());
        float* r = item_alloc<float>(static_cast<std::size_t>(lines_));
        for (int i = 0; i < lines_; ++i) r[i] = s[2 * i] * r_sqrt_two;
        output1->put_data(s);
        output2->put_data(r);
    }
}

da_RCSpecsTransform::da_RCSpecsTransform(const da_DGlobalSettings& settings)
    : lines_(settings.lines) {
    name = "da_RCSpecsTransform";
}

void da_RCSpecsTransform::work() {
    while (input->queued() >= 1) {
        auto* r = static_cast<float*>(input->get_data());
        float* s = item_alloc<float>(static_cast<std::size_t>(2 * lines_));
        for (int i = 0; i < lines_; ++i) {
            s[2 * i] = r[i] * r_sqrt_two;
            s[2 * i + 1] = 0.0f;
        }
        output1->put_data(r);
        output2->put_data(s);
    }
}

}  // namespace x91
