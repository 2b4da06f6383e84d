// Eight floats as one value, for loops built for each CPU level
// (framework/cpu_dispatch.h): loads, stores and the shuffles between layouts.
//
// The compiler's vector extension computes element by element with the
// rounding of float, so a loop over f32x8 runs the float operations of its
// scalar form, lane by lane, in the same order; the shuffles only move values.
// Built for AVX2 each operation is one instruction; in the portable build the
// compiler splits it. Vectors pass by value only between functions that are
// always inlined.
#pragma once

#include <cstring>

#if defined(__GNUC__)
#define X91_LANES [[gnu::always_inline]] inline
#else
#define X91_LANES inline
#endif

namespace x91 {

typedef float f32x8 __attribute__((vector_size(32)));
// Eight ints: lane indices, and the masks that comparisons of lanes give.
typedef int i32x8 __attribute__((vector_size(32)));

X91_LANES f32x8 load8(const float* p) {
    f32x8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

X91_LANES void store8(float* p, f32x8 v) {
    std::memcpy(p, &v, sizeof v);
}

// The eight values in reverse order.
X91_LANES f32x8 reversed8(f32x8 v) {
    return __builtin_shufflevector(v, v, 7, 6, 5, 4, 3, 2, 1, 0);
}

// Eight complex values, interleaved at `in`, into split lanes.
X91_LANES void load_complex8(const float* in, f32x8& re, f32x8& im) {
    const f32x8 v0 = load8(in), v1 = load8(in + 8);
    re = __builtin_shufflevector(v0, v1, 0, 2, 4, 6, 8, 10, 12, 14);
    im = __builtin_shufflevector(v0, v1, 1, 3, 5, 7, 9, 11, 13, 15);
}

// Eight complex values from split lanes, interleaved at `out`.
X91_LANES void store_complex8(float* out, f32x8 re, f32x8 im) {
    store8(out, __builtin_shufflevector(re, im, 0, 8, 1, 9, 2, 10, 3, 11));
    store8(out + 8, __builtin_shufflevector(re, im, 4, 12, 5, 13, 6, 14, 7, 15));
}

// Transposes eight rows of eight in place: afterwards r[i][j] is the former
// r[j][i].
X91_LANES void transpose8x8(f32x8* r) {
    f32x8 t[8], s[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = __builtin_shufflevector(r[i], r[i + 1], 0, 8, 1, 9, 4, 12, 5, 13);
        t[i + 1] = __builtin_shufflevector(r[i], r[i + 1], 2, 10, 3, 11, 6, 14, 7, 15);
    }
    // s[4·h + c] holds columns c and c + 4 of rows 4·h .. 4·h + 3.
    for (int h = 0; h < 2; ++h) {
        const f32x8* u = t + 4 * h;
        s[4 * h] = __builtin_shufflevector(u[0], u[2], 0, 1, 8, 9, 4, 5, 12, 13);
        s[4 * h + 1] = __builtin_shufflevector(u[0], u[2], 2, 3, 10, 11, 6, 7, 14, 15);
        s[4 * h + 2] = __builtin_shufflevector(u[1], u[3], 0, 1, 8, 9, 4, 5, 12, 13);
        s[4 * h + 3] = __builtin_shufflevector(u[1], u[3], 2, 3, 10, 11, 6, 7, 14, 15);
    }
    for (int c = 0; c < 4; ++c) {
        r[c] = __builtin_shufflevector(s[c], s[4 + c], 0, 1, 2, 3, 8, 9, 10, 11);
        r[c + 4] = __builtin_shufflevector(s[c], s[4 + c], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

// Calls body(l) for the groups of eight lanes [l, l + 8) that cover
// [0, count): whole groups, then, when count is not a multiple of eight, one
// group ending at count that overlaps the one before. The overlapped lanes
// are computed twice with the same result, so only loops that write other
// memory than they read may use it.
template <int Count, class Body>
X91_LANES void for_lane_groups(Body body) {
    static_assert(Count >= 8);
    for (int l = 0; l + 8 <= Count; l += 8) body(l);
    if constexpr (Count % 8 != 0) body(Count - 8);
}

}  // namespace x91
