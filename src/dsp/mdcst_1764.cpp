// The long-frame MDCST pair, built for each CPU level from the steps of
// mdcst_1764_steps.h.
#include "dsp/cpu_variants.h"
#include "dsp/mdcst_1764_steps.h"

namespace x91 {

namespace {

using namespace mdcst_1764;

void forward_long(const float* x, float* a, float* b) {
    const MdcstLongPlanes& t = mdcst_tables->long_frame;
    Planes p, s;
    forward_input(x, t, p);
    dft_1764_planes(p, s);
    forward_output(s, t, a, b);
}

// The inverse frame, interleaved into y.
void inverse_long(const float* a, const float* b, float* y) {
    const MdcstLongPlanes& t = mdcst_tables->long_frame;
    Planes z, v;
    inverse_input(a, b, t, z);
    dft_1764_planes(z, v);
    for_lane_groups<M>([&](int i) {
        f32x8 left, right;
        inverse_values8(v, t, i, left, right);
        store_complex8(y + 2 * i, left, right);
    });
}

}  // namespace

const CpuVariants<void(const float*, float*, float*)> mdcst_forward_long =
    cpu_variants_of<forward_long>;
const CpuVariants<void(const float*, const float*, float*)> mdcst_inverse_long =
    cpu_variants_of<inverse_long>;

}  // namespace x91
