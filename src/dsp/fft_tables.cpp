#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "dsp/fft.h"
#include "dsp/fft_internal.h"
#include "dsp/numeric.h"
#include "dsp/windows.h"

namespace x91 {

const float* c_zero = nullptr;
const float* circle_i_3 = nullptr;
const float* circle_i_7 = nullptr;
const float* circle_i_9 = nullptr;
const float* circle_i_49 = nullptr;
const float* circle_i_441 = nullptr;
const float* circle_i_1764 = nullptr;
const float* circle_f_3528 = nullptr;
const float* circle_i_3528 = nullptr;
const float* circle_f_7056 = nullptr;
const float* circle_i_7056 = nullptr;
const float* window_1764 = nullptr;
const float* circle_i_16 = nullptr;
const float* circle_i_112 = nullptr;
const float* circle_f_224 = nullptr;
const float* circle_i_224 = nullptr;
const float* circle_f_448 = nullptr;
const float* circle_i_448 = nullptr;
const float* window_112 = nullptr;

namespace fft_detail {
const Twiddles* twiddles = nullptr;
const MdcstTables* mdcst_tables = nullptr;
}  // namespace fft_detail

namespace {

// The public table pointers, in creation order, beside the storage that owns them.
const float** const table_slots[] = {
    &c_zero,        &circle_i_3,    &circle_i_7,    &circle_i_9,    &circle_i_49,
    &circle_i_441,  &circle_i_1764, &circle_f_3528, &circle_i_3528, &circle_f_7056,
    &circle_i_7056, &window_1764,   &circle_i_16,   &circle_i_112,  &circle_f_224,
    &circle_i_224,  &circle_f_448,  &circle_i_448,  &window_112,
};
constexpr int table_count = sizeof(table_slots) / sizeof(table_slots[0]);

std::unique_ptr<float[]> owned_tables[table_count];
std::unique_ptr<fft_detail::Twiddles> owned_twiddles;
std::unique_ptr<fft_detail::MdcstTables> owned_mdcst_tables;

// Copies of W_N^((i·j) mod N) in the order a composite kernel with N = P·Q uses them.
std::vector<float> sequential_twiddles(const float* circle, int p, int q) {
    const int n = p * q;
    std::vector<float> seq(static_cast<std::size_t>(2 * n));
    for (int i = 0; i < p; ++i)
        for (int j = 0; j < q; ++j) {
            const int m = (i * j) % n;
            seq[static_cast<std::size_t>(2 * (i * q + j))] = circle[2 * m];
            seq[static_cast<std::size_t>(2 * (i * q + j) + 1)] = circle[2 * m + 1];
        }
    return seq;
}

// Split planes re[j·p + i], im[j·p + i] = W_N^(i·j) for i < p, j < q.
void split_twiddles(const float* circle, int p, int q, std::vector<float>& re,
                    std::vector<float>& im) {
    const int n = p * q;
    re.resize(static_cast<std::size_t>(n));
    im.resize(static_cast<std::size_t>(n));
    for (int j = 0; j < q; ++j)
        for (int i = 0; i < p; ++i) {
            const int m = (i * j) % n;
            re[static_cast<std::size_t>(j * p + i)] = circle[2 * m];
            im[static_cast<std::size_t>(j * p + i)] = circle[2 * m + 1];
        }
}

fft_detail::MdcstTwiddles mdcst_twiddles(const float* f4, const float* i4, int m) {
    const int n = m / 2;
    fft_detail::MdcstTwiddles t;
    auto pick = [](std::vector<float>& dst, const float* table, int entry) {
        dst.push_back(table[2 * entry]);
        dst.push_back(table[2 * entry + 1]);
    };
    for (int k = 0; k < m; ++k) {
        pick(t.odd_f, f4, 2 * k + 1);
        pick(t.odd_i, i4, 2 * k + 1);
    }
    for (int k = 0; k < n; ++k) {
        pick(t.line_f, f4, (m * k + n) % (4 * m));
        pick(t.line_i, i4, (m * k + n) % (4 * m));
    }
    return t;
}

// The long frame's factors in split planes, from its interleaved twiddles
// (m = 1764).
fft_detail::MdcstLongPlanes mdcst_long_planes(const fft_detail::MdcstTwiddles& t, int m) {
    const int n = m / 2;
    fft_detail::MdcstLongPlanes p;
    auto put = [](fft_detail::SplitTable& dst, const float* table, int entry) {
        dst.re.push_back(table[2 * entry]);
        dst.im.push_back(table[2 * entry + 1]);
    };
    for (int q = 0; q < m; ++q) {
        const int at = (m - q) % m;
        p.window_reversed.push_back(window_1764[at]);
        put(p.f2_reversed, circle_f_3528, at);
        put(p.i2, circle_i_3528, q);
    }
    for (int k = 0; k < n; ++k) {
        put(p.odd_f_low, t.odd_f.data(), k);
        put(p.odd_f_high, t.odd_f.data(), m - 1 - k);
        put(p.line_i, t.line_i.data(), k);
        put(p.line_f, t.line_f.data(), k);
        put(p.odd_i_low, t.odd_i.data(), k);
        put(p.odd_i_high, t.odd_i.data(), m - 1 - k);
    }
    return p;
}

}  // namespace

void def_w(int k, int n, float amp, float* out) {
    const float theta = static_cast<float>(k) * r_2pi / static_cast<float>(n);
    out[0] = amp * std::cos(theta);
    out[1] = amp * std::sin(theta);
}

float* def_circle_n(int s, float amp, int n) {
    float* circle = new float[static_cast<std::size_t>(2 * n)];
    for (int i = 0; i < n; ++i) def_w(s * i, n, amp, circle + 2 * i);
    return circle;
}

void da_fft_init() {
    if (da_fft_ready()) return;
    int slot = 0;
    auto install = [&slot](float* table) {
        owned_tables[slot].reset(table);
        *table_slots[slot] = table;
        ++slot;
    };
    install(new float[2]{0.0f, 0.0f});
    install(def_circle_n(-1, 1.0f, 3));
    install(def_circle_n(-1, 1.0f, 7));
    install(def_circle_n(-1, 1.0f, 9));
    install(def_circle_n(-1, 1.0f, 49));
    install(def_circle_n(-1, 1.0f, 441));
    install(def_circle_n(-1, 1.0f, 1764));
    install(def_circle_n(1, 1.0f, 3528));
    install(def_circle_n(-1, 1.0f, 3528));
    install(def_circle_n(1, 1.0f, 7056));
    install(def_circle_n(-1, 1.0f, 7056));
    install(def_window_n(1764));
    install(def_circle_n(-1, 1.0f, 16));
    install(def_circle_n(-1, 1.0f, 112));
    install(def_circle_n(1, 1.0f, 224));
    install(def_circle_n(-1, 1.0f, 224));
    install(def_circle_n(1, 1.0f, 448));
    install(def_circle_n(-1, 1.0f, 448));
    install(def_window_n(112));

    auto tw = std::make_unique<fft_detail::Twiddles>();
    tw->seq9 = sequential_twiddles(circle_i_9, 3, 3);
    tw->seq16 = sequential_twiddles(circle_i_16, 4, 4);
    tw->seq49 = sequential_twiddles(circle_i_49, 7, 7);
    tw->seq112 = sequential_twiddles(circle_i_112, 16, 7);
    tw->seq441 = sequential_twiddles(circle_i_441, 49, 9);
    split_twiddles(circle_i_1764, 441, 4, tw->w1764_re, tw->w1764_im);
    split_twiddles(circle_i_441, 49, 9, tw->w441_re, tw->w441_im);
    auto md = std::make_unique<fft_detail::MdcstTables>();
    md->long_frame = mdcst_long_planes(mdcst_twiddles(circle_f_7056, circle_i_7056, 1764), 1764);
    md->short_frame = mdcst_twiddles(circle_f_448, circle_i_448, 112);
    owned_mdcst_tables = std::move(md);
    fft_detail::mdcst_tables = owned_mdcst_tables.get();
    owned_twiddles = std::move(tw);
    fft_detail::twiddles = owned_twiddles.get();
}

void da_fft_finit() {
    fft_detail::twiddles = nullptr;
    owned_twiddles.reset();
    fft_detail::mdcst_tables = nullptr;
    owned_mdcst_tables.reset();
    for (int i = 0; i < table_count; ++i) {
        *table_slots[i] = nullptr;
        owned_tables[i].reset();
    }
}

bool da_fft_ready() {
    return fft_detail::twiddles != nullptr;
}

void fft_require_tables(const char* what) {
    if (fft_detail::twiddles != nullptr) [[likely]]
        return;
    std::fprintf(stderr,
                 "x91: %s called while the transform tables are not built "
                 "(outside da_fft_init .. da_fft_finit)\n",
                 what);
    std::abort();
}

}  // namespace x91
