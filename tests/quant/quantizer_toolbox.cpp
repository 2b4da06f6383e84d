#include "quant/quantizer_toolbox.h"

#include <algorithm>
#include <vector>

#include "dsp/numeric.h"
#include "dsp/numeric_toolbox.h"

namespace x91 {

int lin_quant_value(float x, float step) {
    return energy_round(x / step);
}

float lin_dequant_value(int k, float step) {
    return static_cast<float>(static_cast<double>(k) * static_cast<double>(step));
}

int range_to_zn(float x, float lo, float hi, int n) {
    const float cell = static_cast<float>(static_cast<double>(n) *
                                          (static_cast<double>(x) - static_cast<double>(lo)) /
                                          (static_cast<double>(hi) - static_cast<double>(lo)));
    return r_floor(cell);
}

float zn_to_range(int k, float lo, float hi, int n) {
    return static_cast<float>(static_cast<double>(lo) +
                              (static_cast<double>(k) + 0.5) / static_cast<double>(n) *
                                  (static_cast<double>(hi) - static_cast<double>(lo)));
}

float kth_largest(const float* a, int count, int k) {
    if (count <= 0) return 0.0f;
    k = std::clamp(k, 0, count - 1);
    std::vector<float> set(a, a + count);
    std::vector<float> greater, lesser;
    while (set.size() > 1) {
        const int size = static_cast<int>(set.size());
        const float mean = ra_avg(set.data(), size);
        greater.clear();
        lesser.clear();
        for (float v : set) {
            if (v > mean)
                greater.push_back(v);
            else if (v < mean)
                lesser.push_back(v);
        }
        // Whatever is neither greater nor less counts as equal to the mean:
        // this also ends a NaN mean at once.
        const int g = static_cast<int>(greater.size());
        const int s = static_cast<int>(lesser.size());
        const int e = size - g - s;
        if (g == size || s == size) {
            // The float mean fell outside the values (rounding or overflow):
            // partitioning would not shrink the set, so finish by sorting.
            // No NaN can be here, since a NaN would have made the mean NaN.
            std::sort(set.begin(), set.end(), [](float p, float q) { return p > q; });
            return set[k];
        }
        if (k < g) {
            set.swap(greater);
        } else if (k >= g + e) {
            k -= g + e;
            set.swap(lesser);
        } else {
            return mean;
        }
    }
    return set[0];
}

}  // namespace x91
