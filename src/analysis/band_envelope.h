// Band envelopes: per-line fractional band positions, band weights, and the
// conversions between per-line values and a few smoothly overlapping bands.
//
// An index table gives every line a position; band j is centred at position
// j + 1, and a line between two centres is shared by both bands with the
// smooth-step weight env_overlap. Encoder and decoder rebuild the masking
// curve and the side-stereo map through these functions, so they are written
// in plain float arithmetic, one rounding per operation, in a fixed order.
//
// Positions outside [0, bands + 1] cannot come from a table built by
// env_itable_arange, but a damaged stream can make one (NaN or infinite
// envelope values). Such positions are pinned to the nearest end: a position
// below 0 or NaN counts wholly towards slot 0, one above bands + 1 wholly
// towards slot bands + 1. Nothing is ever read or written outside the scratch.
#pragma once

#include <cstdint>
#include <vector>

namespace x91 {

// Per-line scales, line i centred at 25·i + 12.5 Hz.
std::vector<float> env_bark_itab(int count);  // Bark value of the centre
std::vector<float> env_quad_itab(int count);  // square root of the centre (in double)

// Affine rescale in place so that the first entry becomes a and the last b.
// A table whose ends coincide (or that holds no finite scale) has no usable
// slope: its entries are then spread evenly from a to b by line number.
// Returns count.
int env_inctable_rangeset(float* table, int count, float a, float b);

// Turns a monotone scale table into an index table: positions from 0.75 to
// bands + 0.25, neighbours at most `step` apart.
void env_itable_arange(float* table, int count, int bands, float step);

// Smooth-step share (3 − 2t)·t² of the upper slot for fractional part t.
float env_overlap(float t);

// Copies count floats between ranges that do not overlap.
void ra_copy(const float* src, float* dst, int count);

// Every line's split between its two slots, worked out once per index table:
// the envelope functions run several times per frame over the same table, and
// the floor and smooth step are most of their cost.
// How sums over a table's slots will run: side by side along chains laid out
// once, or line by line (enough for tables only interpolated through, as by
// env_highres_to, which then skip the layout).
enum class ShareSums : bool { line_by_line, chained };

struct env_Shares {
    void prepare(const float* itab, int count, int bands, ShareSums sums = ShareSums::chained);
    int count = 0;
    int bands = 0;
    std::vector<int> slot;     // lower slot, in 0 .. bands
    std::vector<float> lower;  // 1 − env_overlap(t), the lower slot's share
    std::vector<float> upper;  // env_overlap(t), the upper slot's share
    // The lines where the lower slot changes from the line before, then
    // count: the runs of lines that add into the same two slots. Entries
    // after the one holding count are scratch.
    std::vector<int> run_starts;
    // Where the lower slots never decrease from line to line (as in every
    // arranged table), the lines that add into slot s are one range: the
    // chain_upper[s] lines from chain_begin[s] on give their upper share,
    // the chain_lower[s] lines after them their lower share. Then the sums
    // of all slots can run side by side; `chained` says whether they apply.
    bool chained = false;
    std::vector<int> chain_begin, chain_upper, chain_lower;  // bands + 2 each
    // Where the chained sums read their rows (env_chain_sums): per group of
    // eight slots its rows' count, per row eight offsets, and the rows to be
    // put together first, five ints each; chain_space floats hold them all.
    // Above kChainSpace (reckoned before the layout) the sums run slot by
    // slot along the lines instead.
    static constexpr int kChainSpace = 3072;
    std::vector<int> chain_steps, chain_crossings;
    std::vector<std::uint16_t> chain_offsets;  // within kChainSpace
    long long chain_space = 0;

    // For a table prepared once: frees what the sums no longer read (the run
    // starts, where chained and laid out) and the crossing rows' spare room.
    void free_spare();

  private:
    // Sets the chains from `runs` run starts (run_starts), if the slots rise.
    void chain_runs(int runs);
    // Sets where the chained sums read their rows, from the chains.
    void lay_out_rows();
};

// `slots` must hold bands + 2 floats.
// Band weights (bands values): the total share every band receives.
void env_iweights_to(const env_Shares& shares, float* weights, float* slots);
// Weighted band means of per-line values (bands values).
void env_lowres_to(const env_Shares& shares, const float* weights, const float* values, float* out,
                   float* slots);
// Per-line interpolation of band values (count values).
void env_highres_to(const env_Shares& shares, const float* lowres, float* out, float* slots);

// Scratch for env_lowres_iter_to, sized once per module.
struct env_Scratch {
    env_Scratch(int count, int bands);
    std::vector<float> slots;     // bands + 2
    std::vector<float> residual;  // count
    std::vector<float> update;    // bands
    env_Shares shares;            // for an index table that changes every frame
};

// Band values clamped to [lo, hi] and refined `iterations` times so that
// their interpolation fits the per-line values.
void env_lowres_iter_to(const env_Shares& shares, const float* weights, const float* values,
                        float lo, float hi, int iterations, float* out, env_Scratch& scratch);

}  // namespace x91
