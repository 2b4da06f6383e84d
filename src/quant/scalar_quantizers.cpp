#include "quant/scalar_quantizers.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

#include "dsp/numeric.h"
#include "quant/cpu_variants.h"

#ifdef X91_CPU_AVX2
#include <immintrin.h>
#endif

namespace x91 {

namespace {

// Truncation towards zero without undefined behaviour: NaN gives 0 and values
// beyond int saturate. Only damaged or absurd inputs reach the limits.
int trunc_to_int(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(v);
}

// Argument of the level logarithm: (b − 1)·x + 1, rounded once to float.
float level_argument(double b_minus_1, float x) {
    return static_cast<float>(b_minus_1 * static_cast<double>(x) + 1.0);
}

}  // namespace

float rn_pow(float x, int k) {
    float result = 1.0f;
    while (k > 0) {
        if (k & 1) result = result * x;
        x = x * x;
        k >>= 1;
    }
    return result;
}

double log_dequant_aux(int k, float b) {
    return (static_cast<double>(rn_pow(b, k)) - 1.0) / (static_cast<double>(b) - 1.0);
}

float log_dequant(int k, float b) {
    if (k >= 0) return static_cast<float>(log_dequant_aux(k, b));
    // −INT_MIN does not exist; its level is beyond float range for any usable
    // base, so INT_MAX's serves.
    const int magnitude = k == INT_MIN ? INT_MAX : -k;
    return -static_cast<float>(log_dequant_aux(magnitude, b));
}

int log_quant_aux(float x, float b, float r) {
    const double b_minus_1 = static_cast<double>(b) - 1.0;
    const float u = r_logb(b, level_argument(b_minus_1, x));
    const float u_r = r_logb(b, level_argument(b_minus_1, r));
    // The comparison is against r itself, not u_r: it decides only whether
    // x leaves level 0, and for 0 <= r < 1 agrees with the offset below.
    if (u > r) return trunc_to_int(static_cast<double>(u) - static_cast<double>(u_r) + 1.0);
    return 0;
}

int log_quant(float x, float b, float r) {
    if (0.0f > x) return -log_quant_aux(-x, b, r);
    return log_quant_aux(x, b, r);
}

namespace {

// Upper limit of the scan: level arguments from 1 up to 2^20 floats above it.
constexpr int kZeroScanLimit = 1 << 20;
// Scans kept: a process uses a few settings, each over and over.
constexpr std::size_t kScansKept = 16;
// How far below the exact crossing the scan starts, relative to its
// logarithm: 2^-12, thousands of times the error of any maths library's
// logarithm (glibc's is within one unit in the last place for every float).
constexpr double kCrossingMargin = 1.0 / 4096.0;

// Whether level argument y leaves level 0, as magnitude() decides it.
bool leaves_level_zero(float y, float ln_b, float r) {
    return std::log(y) / ln_b > r;
}

// The first level argument from 1 upwards that leaves level 0, trying the
// floats in order, or the last one of kZeroScanLimit tried. Trying floats
// rather than inverting the logarithm proves the shortcut in magnitude()
// exact without assuming that the logarithm is monotone. Only the floats
// near the exact crossing, exp(r·ln b), need trying: a logarithm that falls
// short of r·ln b by the margin cannot be taken above it by the library's
// rounding, so every float below that point stays at level 0.
float scan_zero_below(float ln_b, float r) {
    const float infinity = std::numeric_limits<float>::infinity();
    const float one = 1.0f;
    // The float kZeroScanLimit above 1: positive floats are ordered as their bits.
    const float last = std::bit_cast<float>(std::bit_cast<std::uint32_t>(one) + kZeroScanLimit);
    float y = one;
    const double crossing_log = static_cast<double>(r) * static_cast<double>(ln_b);
    if (ln_b > 0.0f && std::isfinite(ln_b) && r > 0.0f && std::isfinite(r)) {
        const double safe = std::exp(crossing_log * (1.0 - kCrossingMargin));
        // Rounded down, and one float lower still for the exponential's own error.
        const float start = std::nextafter(static_cast<float>(std::min(safe, 4.0)), 0.0f);
        y = std::clamp(start, one, last);
    }
    while (y < last && !leaves_level_zero(y, ln_b, r)) y = std::nextafter(y, infinity);
    return y;
}

// scan_zero_below, done once per base and rounding point: an encoding cut
// into runs builds a quantiser for each, and the scan costs as much as
// coding a dozen blocks.
float zero_below_for(float ln_b, float r) {
    struct Scan {
        std::uint32_t ln_b, r;
        float zero_below;
    };
    static std::mutex mutex;
    static std::vector<Scan> scans;
    const auto ln_b_bits = std::bit_cast<std::uint32_t>(ln_b);
    const auto r_bits = std::bit_cast<std::uint32_t>(r);
    // Held through the scan: quantisers built at once on other threads wait
    // for this one's result rather than scan again.
    std::lock_guard lock(mutex);
    for (const Scan& s : scans)
        if (s.ln_b == ln_b_bits && s.r == r_bits) return s.zero_below;
    const float zero_below = scan_zero_below(ln_b, r);
    if (scans.size() == kScansKept) scans.erase(scans.begin());
    scans.push_back({ln_b_bits, r_bits, zero_below});
    return zero_below;
}

}  // namespace

da_LogQuantizer::da_LogQuantizer(float b, float r)
    : r_(r),
      b_minus_1_(static_cast<double>(b) - 1.0),
      ln_b_(std::log(b)),
      u_r_(static_cast<double>(r_logb(b, level_argument(b_minus_1_, r)))),
      zero_below_(zero_below_for(ln_b_, r_)),
      windows_(ln_b_, r_, u_r_, [this](float y) { return magnitude_above(y); }) {}

namespace {

// y[i] is line i's level argument, computed as magnitude() computes it (of
// the magnitude); bit j of below[b] is set when line 8·b + j's lies below
// `limit`. A NaN is never below.
void mark_level_zero_portable(const float* x, int blocks, double b_minus_1, float limit, float* y,
                              unsigned char* below) {
    for (int b = 0; b < blocks; ++b) {
        unsigned marks = 0;
        for (int j = 0; j < 8; ++j) {
            y[8 * b + j] = level_argument(b_minus_1, std::fabs(x[8 * b + j]));
            if (y[8 * b + j] < limit) marks |= 1u << j;
        }
        below[b] = static_cast<unsigned char>(marks);
    }
}

#ifdef X91_CPU_AVX2
// The same with four lanes of doubles doing the same operations.
X91_TARGET_AVX2 void mark_level_zero_avx2(const float* x, int blocks, double b_minus_1, float limit,
                                          float* y_out, unsigned char* below) {
    const __m256 magnitude_bits = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const __m256d factor = _mm256_set1_pd(b_minus_1);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256 bound = _mm256_set1_ps(limit);
    for (int b = 0; b < blocks; ++b) {
        const __m256 m = _mm256_and_ps(_mm256_loadu_ps(x + 8 * b), magnitude_bits);
        const __m256d lo =
            _mm256_add_pd(_mm256_mul_pd(factor, _mm256_cvtps_pd(_mm256_castps256_ps128(m))), one);
        const __m256d hi =
            _mm256_add_pd(_mm256_mul_pd(factor, _mm256_cvtps_pd(_mm256_extractf128_ps(m, 1))), one);
        const __m256 y = _mm256_set_m128(_mm256_cvtpd_ps(hi), _mm256_cvtpd_ps(lo));
        _mm256_storeu_ps(y_out + 8 * b, y);
        below[b] =
            static_cast<unsigned char>(_mm256_movemask_ps(_mm256_cmp_ps(y, bound, _CMP_LT_OQ)));
    }
}
#endif

}  // namespace

const CpuVariants<void(const float*, int, double, float, float*, unsigned char*)>
    quant_mark_level_zero = {mark_level_zero_portable,
                             X91_AVX2_OR(mark_level_zero_avx2, mark_level_zero_portable)};

void da_LogQuantizer::indices(const float* x, int* index, int count) const {
    // The level arguments and marks of a few hundred lines at a time, on
    // the stack.
    constexpr int kMarkedBlocks = 64;
    float y[8 * kMarkedBlocks];
    unsigned char below[kMarkedBlocks];
    const int blocks = count > 0 ? count / 8 : 0;
    for (int first = 0; first < blocks; first += kMarkedBlocks) {
        const int marked = std::min(kMarkedBlocks, blocks - first);
        quant_mark_level_zero(x + 8 * first, marked, b_minus_1_, zero_below_, y, below);
        for (int b = 0; b < marked; ++b) {
            const int line = 8 * (first + b);
            std::fill(index + line, index + line + 8, 0);
            // Only the lines left unmarked can leave level 0.
            for (unsigned left = ~below[b] & 0xFFu; left != 0; left &= left - 1) {
                const int j = 8 * b + std::countr_zero(left);
                const int i = 8 * first + j;
                // The level argument made above spares making it again.
                const int known = windows_.index(y[j]);
                index[i] = known < 0 ? (*this)(x[i]) : 0.0f > x[i] ? -known : known;
            }
        }
    }
    for (int i = 8 * blocks; i < count; ++i) index[i] = (*this)(x[i]);
}

int da_LogQuantizer::magnitude_above(float y) const {
    const float u = std::log(y) / ln_b_;
    if (u > r_) return trunc_to_int(static_cast<double>(u) - u_r_ + 1.0);
    return 0;
}

int _range_to_zn(float x, float lo, float hi, int n) {
    const float level = static_cast<float>(static_cast<double>(n - 1) *
                                           (static_cast<double>(x) - static_cast<double>(lo)) /
                                           (static_cast<double>(hi) - static_cast<double>(lo)));
    return r_round(level);
}

float _zn_to_range(int k, float lo, float hi, int n) {
    return static_cast<float>(static_cast<double>(lo) +
                              static_cast<double>(k) / static_cast<double>(n - 1) *
                                  (static_cast<double>(hi) - static_cast<double>(lo)));
}

}  // namespace x91
