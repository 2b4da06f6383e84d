#include "dsp/numeric.h"

#include <cmath>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace x91 {

const float r_pi = 3.14159265358979323846f;
const float r_2pi = 6.28318530717958647692f;
const float r_half = 0.5f;
const float r_zero = 0.0f;
const float r_one = 1.0f;
const float r_two = 2.0f;
// The single-precision square root of 2 (IEEE sqrt rounds correctly, so the
// literal is that value). A constant rather than a start-up computation, so
// tables that other files build during static initialisation never see 0.
const float r_sqrt_two = 1.41421356237309504880f;

float r_log2(float x) {
    return std::log(x) / std::log(2.0f);
}
float r_logb(float base, float x) {
    return std::log(x) / std::log(base);
}

float freq_to_bark(float f) {
    // The first arctangent in double, the second in float, as the masking
    // tables of every decoder are built.
    const double low = 13.0 * std::atan(static_cast<double>(f) * 0.76 / 1000.0);
    const float high = std::atan(r_sqr(f) / r_sqr(7500.0f));
    return static_cast<float>(low + 3.5 * static_cast<double>(high));
}

float db_to_amplify(float d) {
    return std::pow(2.0f, d / 6.0f);
}

float amplify_to_db(float a, float floor_db) {
    return amplify_to_db(a, floor_db, db_to_amplify(floor_db));
}

float amplify_to_db(float a, float floor_db, float floor_amplitude) {
    if (a > floor_amplitude) return 6.0f * r_log2(a);
    return floor_db;
}

float ra_amplitude(const float* values, int count) {
    float sum = 0.0f;
    int i = 0;
#if defined(__SSE2__)
    // Four magnitudes at a time (the packed square root rounds exactly as the
    // scalar one), then added one by one in index order as below.
    for (; i + 4 <= count; i += 4) {
        const __m128 v = _mm_loadu_ps(values + i);
        alignas(16) float a[4];
        _mm_store_ps(a, _mm_sqrt_ps(_mm_mul_ps(v, v)));
        sum += a[0];
        sum += a[1];
        sum += a[2];
        sum += a[3];
    }
#endif
    for (; i < count; ++i) sum += r_abs(values[i]);
    return sum;
}

}  // namespace x91
