// O(n²) reference transforms and the packing of two real signals into one
// complex transform.
#include <memory>

#include "dsp/fft.h"
#include "dsp/numeric.h"

namespace x91 {

namespace {

// out[i] = Σⱼ in[j]·circle[(i·j) mod n].
void def_dft_aux(const float* in, float* out, int n, const float* circle) {
    for (int i = 0; i < n; ++i) {
        float* o = out + 2 * i;
        c_equ_c(o, c_zero);
        for (int j = 0; j < n; ++j) {
            const long long m = static_cast<long long>(i) * j % n;
            c_addequ_c_mul_c(o, in + 2 * j, circle + 2 * m);
        }
    }
}

}  // namespace

void def_dft_n(const float* in, float* out, int n) {
    fft_require_tables("def_dft_n");
    const std::unique_ptr<float[]> circle(def_circle_n(1, 1.0f / static_cast<float>(n), n));
    def_dft_aux(in, out, n, circle.get());
}

void def_idft_n(const float* in, float* out, int n) {
    fft_require_tables("def_idft_n");
    const std::unique_ptr<float[]> circle(def_circle_n(-1, 1.0f, n));
    def_dft_aux(in, out, n, circle.get());
}

void dft_separate_n(const float* z, float* a, float* b, int n) {
    a[0] = z[0];
    a[1] = 0.0f;
    b[0] = z[1];
    b[1] = 0.0f;
    for (int i = 1; i <= n - i; ++i) {
        const float* p = z + 2 * i;        // Z[i]
        const float* q = z + 2 * (n - i);  // Z[n − i]
        // a = (Z[i] + conj Z[n−i])/2, b = (Z[i] − conj Z[n−i])/(2j)
        a[2 * i] = 0.5f * (p[0] + q[0]);
        a[2 * i + 1] = 0.5f * (p[1] - q[1]);
        b[2 * i] = 0.5f * (p[1] + q[1]);
        b[2 * i + 1] = 0.5f * (q[0] - p[0]);
    }
}

void dft_combine_n(const float* a, const float* b, float* z, int n) {
    z[0] = a[0];
    z[1] = b[0];
    for (int i = 1; i < n - i; ++i) {
        const float ar = a[2 * i], ai = a[2 * i + 1];
        const float br = b[2 * i], bi = b[2 * i + 1];
        // Z[i] = a + j·b, Z[n−i] = conj a + j·conj b
        z[2 * i] = ar - bi;
        z[2 * i + 1] = ai + br;
        z[2 * (n - i)] = ar + bi;
        z[2 * (n - i) + 1] = br - ai;
    }
    if (n % 2 == 0) {
        z[n] = a[n];
        z[n + 1] = b[n];
    }
}

void stereo_fft_1764(const float* x, float* a, float* b) {
    float z[2 * 1764];
    fft_1764_dd(x, z, 1, 1);
    dft_separate_n(z, a, b, 1764);
}

void stereo_ifft_1764(const float* a, const float* b, float* y) {
    float z[2 * 1764];
    dft_combine_n(a, b, z, 1764);
    ifft_1764_dd(z, y, 1, 1);
}

}  // namespace x91
