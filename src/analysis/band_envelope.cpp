#include "analysis/band_envelope.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "analysis/cpu_variants.h"
#include "dsp/numeric.h"
#include "framework/float_lanes.h"

#ifdef X91_CPU_AVX2
#include <immintrin.h>
#endif

// The flat per-line loops below are built for each CPU level. Lanes round
// exactly as scalar floats do (no contraction into fused multiply-add in this
// build), so results do not depend on the level.

namespace x91 {

namespace {

// Centre frequency of line i; exact in float for every line count in use.
float line_centre(int i) {
    return 25.0f * static_cast<float>(i) + 12.5f;
}

// How one line's unit weight is split: 1 − w to `slot`, w to `slot` + 1.
struct Share {
    int slot;
    float w;
    float lower;  // 1 − w
};

void fold_outer(int bands, float* slots) {
    slots[1] += slots[0];
    slots[bands] += slots[bands + 1];
}

// For positions in [0, bands + 1) this is floor and smooth step, nothing
// else. Other positions cannot come from an arranged table and are pinned to
// an end so that slot + 1 never passes bands + 1.
Share share_of(float position, int bands) {
    const int k = r_floor(position);
    if (position == position && k >= 0 && k <= bands) {
        const float w = env_overlap(position - static_cast<float>(k));
        return {k, w, 1.0f - w};
    }
    if (position > 0.0f) return {bands, 1.0f, 0.0f};
    return {0, 0.0f, 1.0f};
}

// share_of for lines from .. count − 1, after `runs` run starts found before
// them; closes the list of run starts with count and returns their number.
int shares_by_line(const float* itab, int from, int count, int bands, int runs, int* slot,
                   float* lower, float* upper, int* starts) {
    for (int i = from; i < count; ++i) {
        const Share s = share_of(itab[i], bands);
        slot[i] = s.slot;
        lower[i] = s.lower;
        upper[i] = s.w;
        if (i > 0 && slot[i] != slot[i - 1]) starts[runs++] = i;
    }
    starts[runs] = count;
    return runs;
}

// share_of for a whole table, eight lines at a time. A position p in [0, bands + 1) has floor(p) in
// 0 .. bands, and its truncation is its floor; outside positions take the pinned shares. `top` is
// bands + 1, exact in float (the caller checks). Each lane does the float
// operations of share_of in its order.
int shares_of(const float* itab, int count, int bands, float top, int* slot, float* lower,
              float* upper, int* starts) {
    int i = 0;
    int runs = 0;
    const f32x8 zero = {};
    const f32x8 one = zero + 1.0f;
    const i32x8 no_slot = {};
    const i32x8 last_slot = no_slot + bands;
    i32x8 previous = {};
    for (; i + 8 <= count; i += 8) {
        f32x8 p;
        __builtin_memcpy(&p, itab + i, sizeof p);
        const i32x8 inside = (p >= 0.0f) & (p < top);
        const i32x8 above = p > 0.0f;
        const f32x8 q = inside ? p : zero;
        const i32x8 k = __builtin_convertvector(q, i32x8);
        const f32x8 t = q - __builtin_convertvector(k, f32x8);
        const f32x8 w = (3.0f - 2.0f * t) * (t * t);
        const i32x8 pinned_slot = above ? last_slot : no_slot;
        const f32x8 pinned_upper = above ? one : zero;
        const i32x8 s = inside ? k : pinned_slot;
        const f32x8 u = inside ? w : pinned_upper;
        const f32x8 l = inside ? 1.0f - w : 1.0f - pinned_upper;
        __builtin_memcpy(slot + i, &s, sizeof s);
        __builtin_memcpy(upper + i, &u, sizeof u);
        __builtin_memcpy(lower + i, &l, sizeof l);
        // Runs start where a slot differs from the line before; most groups
        // of eight lie inside one run and need no look line by line. The
        // slots before come from registers: read back from memory just after
        // the store, they would wait for it.
        const i32x8 before = __builtin_shufflevector(previous, s, 7, 8, 9, 10, 11, 12, 13, 14);
        previous = s;
        if (i > 0) {
            const i32x8 change = s != before;
            unsigned long long words[4];
            __builtin_memcpy(words, &change, sizeof words);
            if ((words[0] | words[1] | words[2] | words[3]) == 0) continue;
        }
        // Where in the group the slot changes is as good as random: each line
        // is written at the end of the list, which grows only where it does
        // (run_starts has room for every line).
        for (int j = i > 0 ? i : 1; j < i + 8; ++j) {
            starts[runs] = j;
            runs += slot[j] != slot[j - 1] ? 1 : 0;
        }
    }
    return shares_by_line(itab, i, count, bands, runs, slot, lower, upper, starts);
}

// The interpolation of prepared shares: two table look-ups and two products
// per line. `slots` holds slot_count values; every slot[i] + 1 is below that.
void interpolate_portable(int count, const int* slot, const float* lower, const float* upper,
                          const float* slots, int, float* out) {
    for (int i = 0; i < count; ++i)
        out[i] = lower[i] * slots[slot[i]] + upper[i] * slots[slot[i] + 1];
}

#ifdef X91_CPU_AVX2
// The same eight lines at a time. Where the eight slots lie within eight of
// the first (as along any rising table), the look-ups are two permutations
// of the slots from the first one on; elsewhere they are gathers.
X91_TARGET_AVX2 void interpolate_avx2(int count, const int* slot, const float* lower,
                                      const float* upper, const float* slots, int slot_count,
                                      float* out) {
    // The slots with 16 readable values beyond, for the permutations.
    constexpr int kNear = 256;
    float near[kNear + 16] = {};
    const bool nearby = slot_count <= kNear;
    if (nearby) std::copy(slots, slots + slot_count, near);
    int i = 0;
    const __m256i next = _mm256_set1_epi32(1);
    const __m256i last_offset = _mm256_set1_epi32(7);
    for (; i + 8 <= count; i += 8) {
        const __m256i k = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(slot + i));
        const int first = slot[i];
        const __m256i offset = _mm256_sub_epi32(k, _mm256_set1_epi32(first));
        // Unsigned: an offset below 0 is above 7.
        const bool within = nearby && _mm256_movemask_epi8(_mm256_cmpeq_epi32(
                                          _mm256_min_epu32(offset, last_offset), offset)) == -1;
        __m256 a, b;
        if (within) {
            a = _mm256_permutevar8x32_ps(_mm256_loadu_ps(near + first), offset);
            b = _mm256_permutevar8x32_ps(_mm256_loadu_ps(near + first + 1), offset);
        } else {
            a = _mm256_i32gather_ps(slots, k, 4);
            b = _mm256_i32gather_ps(slots, _mm256_add_epi32(k, next), 4);
        }
        const __m256 la = _mm256_mul_ps(_mm256_loadu_ps(lower + i), a);
        const __m256 ub = _mm256_mul_ps(_mm256_loadu_ps(upper + i), b);
        _mm256_storeu_ps(out + i, _mm256_add_ps(la, ub));
    }
    for (; i < count; ++i) out[i] = lower[i] * slots[slot[i]] + upper[i] * slots[slot[i] + 1];
}
#endif

// Both products of each line's value with its two shares, ahead of the
// sequential sums that take them in line order.
void share_products(int count, const float* lower, const float* upper, const float* values,
                    float* lo, float* hi) {
    for (int i = 0; i < count; ++i) {
        lo[i] = lower[i] * values[i];
        hi[i] = upper[i] * values[i];
    }
}

// The sums of chained shares (env_Shares::chained), eight slots at a time in
// lanes: lane s adds its chain's products one by one in line order, so each
// slot gets the additions of the line-by-line sum in their order; the slots
// only no longer wait for one another. Eight steps of each lane are loaded as
// a row and the rows transposed. Where a lane's eight steps lie within its
// upper or its lower products, or past its chain's end (a row of zeros: +0
// changes no sum, and one that starts at +0 is never −0), its row is read
// where it lies; the rows that cross from one to the other are put together
// first, into the space behind the products.
void chain_sums(float* rows, const int* crossings, int crossing_count, const std::uint16_t* offsets,
                const int* group_steps, int slot_count, float* slots) {
    const i32x8 step = {0, 1, 2, 3, 4, 5, 6, 7};
    for (int c = 0; c < crossing_count; ++c) {
        const int* x = crossings + 5 * c;
        const f32x8 upper = load8(rows + x[0]), lower = load8(rows + x[1]);
        const f32x8 row = step < x[2] ? upper : (step < x[3] ? lower : f32x8{});
        store8(rows + x[4], row);
    }
    for (int first = 0, group = 0; first < slot_count; first += 8, ++group) {
        f32x8 sum = {};
        for (int t = 0; t < group_steps[group]; ++t, offsets += 8) {
            f32x8 lanes[8];
            for (int lane = 0; lane < 8; ++lane) lanes[lane] = load8(rows + offsets[lane]);
            transpose8x8(lanes);
            for (int j = 0; j < 8; ++j) sum = sum + lanes[j];
        }
        for (int lane = 0; lane < 8 && first + lane < slot_count; ++lane)
            slots[first + lane] = sum[lane];
    }
}

// The same sums slot by slot along the lines, for tables whose slots do not
// rise line by line: the sums run over whole runs of lines that share their
// slots, with the products formed in blocks ahead of them.
template <bool kValues>
void accumulate_run_by_run(const env_Shares& shares, const float* values, float* slots) {
    const int count = shares.count;
    constexpr int kBlock = 256;
    float lo_part[kBlock];
    float hi_part[kBlock];
    const int* slot = shares.slot.data();
    const int* next_run = shares.run_starts.data();  // ends with count
    int k = slot[0];
    float lo_acc = 0.0f;
    float hi_acc = 0.0f;
    for (int start = 0; start < count; start += kBlock) {
        const int end = count - start < kBlock ? count : start + kBlock;
        if constexpr (kValues)
            env_share_products(end - start, shares.lower.data() + start,
                               shares.upper.data() + start, values + start, lo_part, hi_part);
        int line = start;
        while (line < end) {
            if (line == *next_run) {
                slots[k] = lo_acc;
                slots[k + 1] = hi_acc;
                k = slot[line];
                lo_acc = slots[k];
                hi_acc = slots[k + 1];
                ++next_run;
            }
            const int stop = *next_run < end ? *next_run : end;
            if constexpr (kValues) {
                for (; line < stop; ++line) {
                    lo_acc += lo_part[line - start];
                    hi_acc += hi_part[line - start];
                }
            } else {
                for (; line < stop; ++line) {
                    lo_acc += shares.lower[line];
                    hi_acc += shares.upper[line];
                }
            }
        }
    }
    slots[k] = lo_acc;
    slots[k + 1] = hi_acc;
}

// Adds each line's shares (scaled by values[i], or bare without values: a
// product with 1 would not change them) into slots[0 .. bands + 1], every
// slot receiving its additions in line order, then folds the two outer
// slots into the first and the last band: lines below the first centre or
// above the last count fully there.
template <bool kValues>
void accumulate_runs(const env_Shares& shares, const float* values, float* slots) {
    const int count = shares.count;
    const int bands = shares.bands;
    for (int j = 0; j < bands + 2; ++j) slots[j] = 0.0f;
    if (count <= 0) return fold_outer(bands, slots);
    if (shares.chained && shares.chain_space <= env_Shares::kChainSpace) {
        // The lower products, then the upper ones, each followed by 8 zeros,
        // then the crossing rows.
        float rows[env_Shares::kChainSpace];
        float* lo = rows;
        float* hi = rows + count + 8;
        std::fill(lo + count, lo + count + 8, 0.0f);
        std::fill(hi + count, hi + count + 8, 0.0f);
        if constexpr (kValues) {
            env_share_products(count, shares.lower.data(), shares.upper.data(), values, lo, hi);
        } else {
            ra_copy(shares.lower.data(), lo, count);
            ra_copy(shares.upper.data(), hi, count);
        }
        env_chain_sums(rows, shares.chain_crossings.data(),
                       static_cast<int>(shares.chain_crossings.size() / 5),
                       shares.chain_offsets.data(), shares.chain_steps.data(), bands + 2, slots);
    } else {
        accumulate_run_by_run<kValues>(shares, values, slots);
    }
    fold_outer(bands, slots);
}

}  // namespace

const CpuVariants<int(const float*, int, int, float, int*, float*, float*, int*)> env_shares_of =
    cpu_variants_of<shares_of>;
const CpuVariants<void(int, const int*, const float*, const float*, const float*, int, float*)>
    env_interpolate_shares = {interpolate_portable,
                              X91_AVX2_OR(interpolate_avx2, interpolate_portable)};
const CpuVariants<void(int, const float*, const float*, const float*, float*, float*)>
    env_share_products = cpu_variants_of<share_products>;
const CpuVariants<void(float*, const int*, int, const std::uint16_t*, const int*, int, float*)>
    env_chain_sums = cpu_variants_of<chain_sums>;

std::vector<float> env_bark_itab(int count) {
    std::vector<float> t(count > 0 ? count : 0);
    for (int i = 0; i < count; ++i) t[i] = freq_to_bark(line_centre(i));
    return t;
}

std::vector<float> env_quad_itab(int count) {
    std::vector<float> t(count > 0 ? count : 0);
    for (int i = 0; i < count; ++i)
        t[i] = static_cast<float>(std::sqrt(static_cast<double>(line_centre(i))));
    return t;
}

namespace {

void rescale(float* table, int count, float a, float first, float factor) {
    for (int i = 0; i < count; ++i) table[i] = a + (table[i] - first) * factor;
}

}  // namespace

const CpuVariants<void(float*, int, float, float, float)> env_rescale = cpu_variants_of<rescale>;

int env_inctable_rangeset(float* table, int count, float a, float b) {
    if (count <= 0) return count;
    const float first = table[0];
    const float last = table[count - 1];
    const float span = last - first;
    const float factor = (b - a) / span;
    if (std::isfinite(span) && span != 0.0f && std::isfinite(factor)) {
        env_rescale(table, count, a, first, factor);
        return count;
    }
    // No slope to rescale (flat, infinite or NaN ends): lay the positions out
    // evenly instead of producing NaN, still from a to b.
    if (count == 1) {
        table[0] = a;
        return count;
    }
    const float denominator = static_cast<float>(count - 1);
    for (int i = 0; i < count; ++i) table[i] = a + (b - a) * (static_cast<float>(i) / denominator);
    return count;
}

namespace {

// Neighbours compared in blocks of this many, in vector lanes; each lane
// makes the comparison of the line-by-line pass.
constexpr int kSlopeBlock = 16;

// Whether t[j] > t[j - 1] + step for some j in [i, i + kSlopeBlock).
inline bool any_steep_rise(const float* t, int i, float step) {
    i32x8 steep = {};
    for (int j = i; j < i + kSlopeBlock; j += 8) {
        f32x8 here, below;
        __builtin_memcpy(&here, t + j, sizeof here);
        __builtin_memcpy(&below, t + j - 1, sizeof below);
        steep |= here > below + step;
    }
    return (steep[0] | steep[1] | steep[2] | steep[3] | steep[4] | steep[5] | steep[6] |
            steep[7]) != 0;
}

// Whether t[j + 1] - step > t[j] for some j in [i, i + kSlopeBlock).
inline bool any_steep_fall_from_above(const float* t, int i, float step) {
    i32x8 steep = {};
    for (int j = i; j < i + kSlopeBlock; j += 8) {
        f32x8 here, above;
        __builtin_memcpy(&here, t + j, sizeof here);
        __builtin_memcpy(&above, t + j + 1, sizeof above);
        steep |= above - step > here;
    }
    return (steep[0] | steep[1] | steep[2] | steep[3] | steep[4] | steep[5] | steep[6] |
            steep[7]) != 0;
}

// The first i in [from, end) with t[i] > t[i - 1] + step, or end.
int first_steep_rise(const float* t, int from, int end, float step) {
    int i = from;
    while (i + kSlopeBlock <= end && !any_steep_rise(t, i, step)) i += kSlopeBlock;
    for (; i < end; ++i)
        if (t[i] > t[i - 1] + step) return i;
    return end;
}

// The last i in [0, from] with t[i + 1] - step > t[i], or -1.
int last_steep_rise(const float* t, int from, float step) {
    int i = from;
    while (i - kSlopeBlock + 1 >= 0 && !any_steep_fall_from_above(t, i - kSlopeBlock + 1, step))
        i -= kSlopeBlock;
    for (; i >= 0; --i)
        if (t[i + 1] - step > t[i]) return i;
    return -1;
}

}  // namespace

const CpuVariants<int(const float*, int, int, float)> env_first_steep_rise =
    cpu_variants_of<first_steep_rise>;
const CpuVariants<int(const float*, int, float)> env_last_steep_rise =
    cpu_variants_of<last_steep_rise>;

void env_itable_arange(float* table, int count, int bands, float step) {
    if (count <= 0) return;
    env_inctable_rangeset(table, count, 0.75f, static_cast<float>(bands) + 0.25f);
    // Limit the slope from below, then from above: no neighbouring positions
    // more than `step` apart, so no band is skipped even where the scale is
    // steep (the square-root and Bark scales at low frequencies). Each pass
    // compares a position with its neighbour as already limited, so it is a
    // recurrence only where the limit binds; elsewhere the comparisons run in
    // blocks, and each is the one the line-by-line pass makes.
    const int end = count - 1;
    for (int i = env_first_steep_rise(table, 1, end, step); i < end;
         i = env_first_steep_rise(table, i + 1, end, step)) {
        for (float limit = table[i - 1] + step; i < end && table[i] > limit; ++i) {
            table[i] = limit;
            limit = limit + step;
        }
    }
    for (int i = env_last_steep_rise(table, count - 2, step); i >= 0;
         i = env_last_steep_rise(table, i - 1, step)) {
        for (float limit = table[i + 1] - step; i >= 0 && limit > table[i]; --i) {
            table[i] = limit;
            limit = limit - step;
        }
    }
}

float env_overlap(float t) {
    return (3.0f - 2.0f * t) * r_sqr(t);
}

void ra_copy(const float* src, float* dst, int count) {
    // The library's copy moves whole vectors where the baseline build of a
    // loop would not.
    if (count > 0) std::memcpy(dst, src, static_cast<std::size_t>(count) * sizeof(float));
}

namespace {

// Growing past the capacity takes just n elements, not the doubled room a
// resize would: tables laid out again every frame keep their largest size.
// The contents are not kept.
template <typename T>
void resize_tight(std::vector<T>& v, std::size_t n) {
    if (n > v.capacity())
        v = std::vector<T>(n);
    else
        v.resize(n);
}

}  // namespace

void env_Shares::prepare(const float* itab, int line_count, int band_count, ShareSums sums) {
    count = line_count > 0 ? line_count : 0;
    bands = band_count;
    slot.resize(count);
    lower.resize(count);
    upper.resize(count);
    run_starts.resize(count + 1);
    // Beyond 2^24 bands the float bands + 1 is not exact; no layout in use
    // comes near, but such a table still gets its shares line by line.
    chained = false;
    if (bands >= 0 && bands < (1 << 24)) {
        const int runs = env_shares_of(itab, count, bands, static_cast<float>(bands + 1),
                                       slot.data(), lower.data(), upper.data(), run_starts.data());
        if (count > 0 && sums == ShareSums::chained) chain_runs(runs);
        return;
    }
    shares_by_line(itab, 0, count, bands, 0, slot.data(), lower.data(), upper.data(),
                   run_starts.data());
}

void env_Shares::chain_runs(int runs) {
    chain_begin.assign(bands + 2, count);
    chain_upper.assign(bands + 2, 0);
    chain_lower.assign(bands + 2, 0);
    // Run r covers the lines from its start to the next; the first starts
    // at line 0.
    for (int r = 0; r <= runs; ++r) {
        const int from = r == 0 ? 0 : run_starts[r - 1];
        const int to = run_starts[r];
        const int k = slot[from];
        if (r > 0 && k < slot[from - 1]) return;  // a falling slot: not chained
        if (chain_upper[k] == 0) chain_begin[k] = from;
        chain_lower[k] = to - from;
        chain_begin[k + 1] = from;
        chain_upper[k + 1] = to - from;
    }
    chained = true;
    lay_out_rows();
}

void env_Shares::lay_out_rows() {
    // Where chain_sums finds each lane's rows: the lower products at 0, the
    // upper ones at count + 8, each followed by 8 zeros, then at most two
    // crossing rows per chain. Beyond kChainSpace nothing is laid out.
    const int slots = bands + 2;
    const int groups = (slots + 7) / 8;
    chain_space = 2LL * (count + 8) + 16LL * slots;
    if (chain_space > kChainSpace) return;
    const int hi = count + 8;
    const int zeros = hi + count;
    int scratch = 2 * hi;
    chain_steps.resize(groups);
    int row_count = 0;
    for (int g = 0; g < groups; ++g) {
        int longest = 0;
        for (int s = 8 * g; s < 8 * g + 8 && s < slots; ++s)
            longest = std::max(longest, chain_upper[s] + chain_lower[s]);
        chain_steps[g] = (longest + 7) / 8;
        row_count += chain_steps[g];
    }
    resize_tight(chain_offsets, 8 * row_count);
    chain_crossings.resize(5 * 2 * slots);
    std::uint16_t* column = chain_offsets.data();
    int* crossing = chain_crossings.data();
    for (int g = 0; g < groups; ++g) {
        const int steps = chain_steps[g];
        for (int lane = 0; lane < 8; ++lane) {
            const int s = 8 * g + lane;
            const int upper_end = s < slots ? chain_upper[s] : 0;
            const int end = s < slots ? upper_end + chain_lower[s] : 0;
            const int begin = s < slots ? chain_begin[s] : 0;
            // The row of steps 8t .. 8t + 7 from both products, or those
            // before the end and zeros.
            auto cross = [&](int t) {
                const int t0 = 8 * t;
                column[8 * t + lane] = static_cast<std::uint16_t>(scratch);
                for (int x : {hi + begin + t0, begin + t0, upper_end - t0, end - t0, scratch})
                    *crossing++ = x;
                scratch += 8;
            };
            int t = 0;
            for (; t < upper_end / 8; ++t)
                column[8 * t + lane] = static_cast<std::uint16_t>(hi + begin + 8 * t);
            if (upper_end % 8 != 0) cross(t++);
            for (; t < end / 8; ++t)
                column[8 * t + lane] = static_cast<std::uint16_t>(begin + 8 * t);
            if (8 * t < end) cross(t++);
            for (; t < steps; ++t) column[8 * t + lane] = static_cast<std::uint16_t>(zeros);
        }
        column += 8 * steps;
    }
    chain_crossings.resize(crossing - chain_crossings.data());
    chain_space = scratch;
}

void env_Shares::free_spare() {
    if (chained && chain_space <= kChainSpace) std::vector<int>().swap(run_starts);
    chain_crossings.shrink_to_fit();
}

void env_iweights_to(const env_Shares& shares, float* weights, float* slots) {
    accumulate_runs<false>(shares, nullptr, slots);
    ra_copy(slots + 1, weights, shares.bands);
}

void env_lowres_to(const env_Shares& shares, const float* weights, const float* values, float* out,
                   float* slots) {
    accumulate_runs<true>(shares, values, slots);
    for (int j = 0; j < shares.bands; ++j) out[j] = slots[j + 1] / weights[j];
}

void env_highres_to(const env_Shares& shares, const float* lowres, float* out, float* slots) {
    const int bands = shares.bands;
    // Outer slots repeat the end bands, so lines beyond the first or last
    // centre take that band's value.
    ra_copy(lowres, slots + 1, bands);
    slots[0] = lowres[0];
    slots[bands + 1] = lowres[bands - 1];
    env_interpolate_shares(shares.count, shares.slot.data(), shares.lower.data(),
                           shares.upper.data(), slots, bands + 2, out);
}

env_Scratch::env_Scratch(int count, int bands)
    : slots(bands + 2 > 2 ? bands + 2 : 2),
      residual(count > 0 ? count : 0),
      update(bands > 0 ? bands : 0) {}

void env_lowres_iter_to(const env_Shares& shares, const float* weights, const float* values,
                        float lo, float hi, int iterations, float* out, env_Scratch& scratch) {
    const int count = shares.count;
    const int bands = shares.bands;
    float* slots = scratch.slots.data();
    float* residual = scratch.residual.data();
    float* update = scratch.update.data();
    env_lowres_to(shares, weights, values, out, slots);
    for (int j = 0; j < bands; ++j) out[j] = r_min(hi, r_max(lo, out[j]));
    for (int pass = 0; pass < iterations; ++pass) {
        env_highres_to(shares, out, residual, slots);
        for (int i = 0; i < count; ++i) residual[i] = values[i] - residual[i];
        env_lowres_to(shares, weights, residual, update, slots);
        for (int j = 0; j < bands; ++j) out[j] = r_min(hi, r_max(lo, out[j] + update[j]));
    }
}

}  // namespace x91
