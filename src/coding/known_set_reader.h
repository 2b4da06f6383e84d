// The median-split set reader behind read_known_set_1, for callers that want
// the set in another form than a list of positions. It reads the same bits
// in the same order as the recursion, but decodes every part of at most
// kSmallSetSpan positions with one table look-up, and hands out the elements
// through a sink:
//   sink.median(i, pos)        element i is at pos
//   sink.run(i, pos, count)    elements i .. i + count - 1 are pos .. pos + count - 1
//   sink.small(i, pos, mask)   the elements from i on are pos + j for each bit j
//                              of mask, in increasing order
// Positions count from 0; the calls come in no particular order.
#pragma once

#include <cstdint>

#include "coding/integer_codes.h"
#include "coding/small_set_table.h"

namespace x91 {

namespace known_set_detail {

// A part of 2..kSmallSetSpan positions with 0 < k < n elements, read whole.
inline std::uint32_t read_small_set(da_BitWindow& r, int n, int k) {
    const auto index = kSmallSetTable.index[n][k];
    const std::uint16_t code = kSmallSetTable.codes[index.offset + r.peek(index.bits)];
    r.skip(code >> kSmallSetSpan);
    return code & ((1u << kSmallSetSpan) - 1);
}

}  // namespace known_set_detail

// k elements among positions 0..n-1, 0 < k < n.
// Kept out of line: inlined into a caller's loop it has fewer registers.
template <class Sink>
[[gnu::noinline]] void read_known_set_parts(da_BitWindow& window, int n, int k, Sink sink) {
    // A copy keeps the window in registers: the sink's stores could
    // otherwise be taken to change it.
    da_BitWindow r = window;
    struct Part {
        int lo, n, k, first;  // elements first .. first + k - 1 lie in lo .. lo + n - 1
    };
    // Each step down halves k and leaves at most one right part waiting, as
    // in write_known_set_1: 64 entries always suffice.
    Part stack[64];
    int top = 0;
    Part part{0, n, k, 0};
    for (;;) {
        // Here 0 < part.k < part.n: the part needs bits.
        for (;;) {
            if (part.n <= kSmallSetSpan) {
                sink.small(part.first, part.lo,
                           known_set_detail::read_small_set(r, part.n, part.k));
                break;
            }
            const int m = part.k >> 1;
            // Positions skipped below the median, beyond the m elements there.
            const int gap = read_rng_num(r, part.n - part.k + 1);
            const int median = part.lo + m + gap;
            sink.median(part.first + m, median);
            const int right_n = part.n - m - gap - 1;
            const int right_k = part.k - m - 1;
            if (right_k > 0) {
                if (right_k == right_n)
                    sink.run(part.first + m + 1, median + 1, right_k);
                else
                    stack[top++] = {median + 1, right_n, right_k, part.first + m + 1};
            }
            if (m == 0) break;
            if (gap == 0) {
                sink.run(part.first, part.lo, m);
                break;
            }
            part.n = m + gap;
            part.k = m;
        }
        if (top == 0) break;
        part = stack[--top];
    }
    window = r;
}

}  // namespace x91
