#include "coding/integer_codes.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <utility>
#include <vector>

#include "coding/cpu_variants.h"
#include "coding/known_set_reader.h"

namespace x91 {

// --- bit window ------------------------------------------------------------------

std::uint64_t da_BitWindow::word_at_end(const unsigned char* buffer, int capacity, long long byte) {
    std::uint64_t word = 0;
    for (int i = 0; i < 8; ++i)
        if (byte + i < capacity) word |= std::uint64_t{buffer[byte + i]} << (8 * i);
    return word;
}

void da_BitWindow::release() {
    const long long pos = possition();
    const long long end = static_cast<long long>(capacity_) * 8;
    if (pos <= end) {
        r_->packet().set_possition(static_cast<int>(pos));
    } else {
        // The packet's own reads past the end mark it as overran.
        r_->packet().set_possition(static_cast<int>(end));
        for (long long left = pos - end; left > 0; left -= 31)
            r_->read(static_cast<int>(std::min(left, 31LL)));
    }
    base_ = pos - kWordBits;
    count_ = 0;
}

// --- increasing sets -------------------------------------------------------------

namespace {

// A set of k elements filling [lo, hi] needs no bits. k beyond the range
// size cannot come from a writer; the surplus is pinned to hi so the reader
// still ends with values inside the range.
void fill_range(int* p, int lo, int hi, int k) {
    for (int i = 0; i < k; ++i) p[i] = std::min(lo + i, hi);
}

}  // namespace

namespace {

// A part of a set still to be coded: elements p[0..k-1] within [lo, hi].
template <typename Int>
struct SetPart {
    Int* p;
    int lo;
    int hi;
    int k;
};

// Median splits go at most 32 levels deep (k at least halves per level), and
// each level leaves at most one right part waiting: 64 entries always suffice.
constexpr int kSetStack = 64;

}  // namespace

// The median splits in preorder (median, left part, right part), with the
// waiting right parts on a small stack instead of the call stack; parts that
// cost nothing are never pushed, and parts of at most kSmallSetSpan
// positions take their whole code from a table. Same bits in the same order
// as the recursion the header describes.
void write_known_set_1(da_BitBatch& batch, int const* p, int lo, int hi, int k) {
    if (k <= 0 || hi - lo + 1 - k <= 0) return;
    // A copy keeps the pending bits in registers through the walk.
    da_BitBatch w = batch;
    SetPart<const int> stack[kSetStack];
    int top = 0;
    SetPart<const int> part{p, lo, hi, k};
    for (;;) {
        // Here 0 < part.k < the part's size: the part needs bits.
        for (;;) {
            const int n = part.hi - part.lo + 1;
            if (n <= kSmallSetSpan) {
                std::uint32_t mask = 0;
                for (int i = 0; i < part.k; ++i) mask |= 1u << ((part.p[i] - part.lo) & 31);
                const unsigned code =
                    kSmallSetTable.written[(1u << n) - 4 + (mask & ((1u << n) - 1))];
                w.write(static_cast<int>(code), static_cast<int>(code >> kSmallSetLengthShift));
                break;
            }
            const int m = part.k / 2;
            const int median = part.p[m];
            const int gap = median - part.lo - m;
            write_rng_num(w, n - part.k + 1, gap);
            const int right_k = part.k - m - 1;
            if (right_k > 0 && part.hi - median - right_k > 0)
                stack[top++] = {part.p + m + 1, median + 1, part.hi, right_k};
            // The left part is empty, or full when no position was skipped.
            if (m == 0 || gap <= 0) break;
            part = {part.p, part.lo, median - 1, m};
        }
        if (top == 0) break;
        part = stack[--top];
    }
    batch = w;
}

void write_known_set_1(da_BinWriter& out, int const* p, int lo, int hi, int k) {
    da_BitBatch w(out);
    write_known_set_1(w, p, lo, hi, k);
    w.flush();
}

namespace {

// Writes the elements into p, offset by lo.
struct PositionSink {
    int* p;
    int lo;
    void median(int i, int pos) { p[i] = lo + pos; }
    void run(int i, int pos, int count) {
        for (int j = 0; j < count; ++j) p[i + j] = lo + pos + j;
    }
    void small(int i, int pos, std::uint32_t mask) {
        for (; mask != 0; mask &= mask - 1) p[i++] = lo + pos + std::countr_zero(mask);
    }
};

}  // namespace

void read_known_set_1(da_BinReader& in, int* p, int lo, int hi, int k) {
    if (k <= 0) return;
    // Empty and full ranges cost nothing.
    if (hi - lo + 1 - k <= 0) {
        fill_range(p, lo, hi, k);
        return;
    }
    da_BitWindow r(in);
    PositionSink sink{p, lo};
    read_known_set_parts(r, hi - lo + 1, k, sink);
    r.release();
}

// --- sequences with a known total -----------------------------------------------

namespace {

// Walks the writer's splits over prefix sums (prefix[i] = v[0] + ... + v[i-1]),
// so each half's total costs one subtraction instead of a pass over the
// values; `emit` receives every range number (n, value) in writing order: a
// run's split, then its left half, then its right half. The right halves
// wait on a small stack (k at least halves per level, so at most 31 wait).
template <class Emit>
void n0_seq_splits(const long long* prefix, int M, int k, Emit& emit) {
    struct Run {
        const long long* prefix;
        int k;
    };
    Run waiting[32];
    int top = 0;
    Run run{prefix, k};
    const long long m = M;
    for (;;) {
        const long long S = run.prefix[run.k] - run.prefix[0];
        // An empty or a full run forces every split below it (each range has
        // one value and takes no bits), so the walk can leave it.
        if (run.k > 1 && S != 0 && S != m * run.k) {
            const int h = run.k / 2;
            const long long SL = run.prefix[h] - run.prefix[0];
            const long long hi = std::min(S, m * h);
            const long long lo = std::max(0LL, S - m * (run.k - h));
            emit(static_cast<int>(hi - lo + 1), static_cast<int>(SL - lo));
            waiting[top++] = {run.prefix + h, run.k - h};
            run.k = h;
            continue;
        }
        if (top == 0) return;
        run = waiting[--top];
    }
}

std::vector<long long> prefix_sums(int const* v, int k) {
    std::vector<long long> prefix(static_cast<std::size_t>(k) + 1);
    prefix[0] = 0;
    for (int i = 0; i < k; ++i) prefix[i + 1] = prefix[i] + v[i];
    return prefix;
}

}  // namespace

void write_n0_seq(da_BinWriter& w, int const* v, int M, int k) {
    if (k <= 1) return;
    const std::vector<long long> prefix = prefix_sums(v, k);
    // The range numbers, a few bits each, gathered into whole words before
    // they reach the packet.
    da_BitBatch batch(w);
    auto emit = [&batch](int n, int value) { write_rng_num(batch, n, value); };
    n0_seq_splits(prefix.data(), M, k, emit);
    batch.flush();
}

namespace {

// The split tree of k values as node arrays: node j splits the size[j]
// values from start[j] on after half[j] of them. Its shape depends on k
// alone.
struct SplitTree {
    int k = 0;
    std::vector<int> start, half, size;
    void add(int first, int n) {
        if (n <= 1) return;
        start.push_back(first);
        half.push_back(n / 2);
        size.push_back(n);
        add(first, n / 2);
        add(first + n / 2, n - n / 2);
    }
};

// The trees of the last few sizes asked for on this thread: a coder asks for
// the same few sizes over and over.
const SplitTree& split_tree(int k) {
    constexpr std::size_t kTreesKept = 8;
    thread_local std::vector<SplitTree> trees;
    for (const SplitTree& t : trees)
        if (t.k == k) return t;
    // Built aside and then kept: memory that runs out part way through leaves
    // no half-built tree behind for the next call to read.
    SplitTree built;
    built.k = k;
    built.add(0, k);
    if (trees.size() == kTreesKept) trees.erase(trees.begin());
    return trees.emplace_back(std::move(built));
}

}  // namespace

long long n0_seq_bits_of_sums(const int* sums, int M, int k) {
    if (k <= 1) return 0;
    const SplitTree& tree = split_tree(k);
    return split_tree_bits(static_cast<int>(tree.start.size()), tree.start.data(), tree.half.data(),
                           tree.size.data(), sums, M);
}

long long n0_seq_bits(int const* v, int M, int k) {
    if (k <= 1) return 0;
    // Values within 0..M and sizes below 2^24: the split tree's node sums fit
    // in int, and every node's code can be summed side by side. Below an
    // empty or a full run every range holds one value and costs nothing, so
    // the whole tree gives the walk's sum.
    if (M >= 0 && static_cast<long long>(M) * k < (1 << 24)) {
        bool in_range = true;
        for (int i = 0; i < k; ++i) in_range &= v[i] >= 0 && v[i] <= M;
        if (in_range) {
            PrefixSumRoom room(k);
            int* sums = room.data();
            sums[0] = 0;
            for (int i = 0; i < k; ++i) sums[i + 1] = sums[i] + v[i];
            return n0_seq_bits_of_sums(sums, M, k);
        }
    }
    const std::vector<long long> prefix = prefix_sums(v, k);
    long long bits = 0;
    auto emit = [&bits](int n, int value) { bits += rng_num_bits(n, value); };
    n0_seq_splits(prefix.data(), M, k, emit);
    return bits;
}

namespace {

// S is within 0..M*k here, so both halves' totals come out within their own
// bounds and every leaf is within 0..M. The splits are read in the writer's
// order (a run's split, then its left half, then its right half), with the
// right halves waiting on a small stack and the window in registers.
void read_n0_seq_within(da_BitWindow& window, int* v, int M, int k, int S) {
    struct Run {
        int* v;
        int k;
        int S;
    };
    // k halves per level and each level leaves one right half waiting.
    Run stack[64];
    int top = 0;
    da_BitWindow r = window;
    Run run{v, k, S};
    for (;;) {
        for (;;) {
            if (run.k <= 0) break;
            if (run.k == 1) {
                run.v[0] = run.S;
                break;
            }
            // An empty or a full run forces every split below it, as the
            // writer knows: no bits to read.
            if (run.S == 0 || static_cast<long long>(run.S) == static_cast<long long>(M) * run.k) {
                for (int i = 0; i < run.k; ++i) run.v[i] = run.S == 0 ? 0 : M;
                break;
            }
            const int h = run.k / 2;
            const long long hi =
                std::min(static_cast<long long>(run.S), static_cast<long long>(M) * h);
            const long long lo = std::max(0LL, run.S - static_cast<long long>(M) * (run.k - h));
            const int SL = static_cast<int>(lo) + read_rng_num(r, static_cast<int>(hi - lo + 1));
            stack[top++] = {run.v + h, run.k - h, run.S - SL};
            run = {run.v, h, SL};
        }
        if (top == 0) break;
        run = stack[--top];
    }
    window = r;
}

}  // namespace

void read_n0_seq(da_BinReader& in, int* v, int M, int k, int S) {
    if (k <= 0) return;
    M = std::max(M, 0);
    const long long top = std::min(static_cast<long long>(M) * k, static_cast<long long>(INT_MAX));
    da_BitWindow r(in);
    read_n0_seq_within(r, v, M, k,
                       static_cast<int>(std::clamp(static_cast<long long>(S), 0LL, top)));
    r.release();
}

}  // namespace x91
