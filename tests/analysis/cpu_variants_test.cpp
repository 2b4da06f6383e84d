#include "analysis/cpu_variants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "analysis/band_envelope.h"
#include "support/build_comparison.h"

namespace x91 {

namespace {

using namespace build_comparison;

// A rising table of positions as the envelopes use, with noise (and edge
// values) on top so that lines also fall out of order, off the ends and
// into long and short runs.
std::vector<float> positions(Inputs& in, int count, float top) {
    std::vector<float> t = in.floats(count, -0.7f, 0.7f);
    for (int i = 0; i < count; ++i) t[i] += top * static_cast<float>(i) / static_cast<float>(count);
    return t;
}

const Case kCases[] = {
    {"env_shares_of",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300), bands = in.count(1, 60);
         const std::vector<float> itab = positions(in, count, static_cast<float>(bands + 1));
         std::vector<int> slot(count), starts(count + 1);
         std::vector<float> lower(count), upper(count);
         const int runs =
             env_shares_of.at(level)(itab.data(), count, bands, static_cast<float>(bands + 1),
                                     slot.data(), lower.data(), upper.data(), starts.data());
         starts.resize(runs + 1);
         return bytes_of(runs, slot, lower, upper, starts);
     }},
    {"env_interpolate_shares",
     [](CpuLevel level, Inputs& in) {
         // Rising slots (as along an arranged table) with jumps and falls
         // among them.
         const int count = in.count(0, 300), bands = in.count(1, 60);
         std::vector<int> slot = in.ints(count, 0, bands);
         if (in.count(0, 1) == 1) std::sort(slot.begin(), slot.end());
         const std::vector<float> lower = in.floats(count, 0.0f, 1.0f),
                                  upper = in.floats(count, 0.0f, 1.0f),
                                  slots = in.floats(bands + 2, -50.0f, 50.0f);
         std::vector<float> out(count);
         env_interpolate_shares.at(level)(count, slot.data(), lower.data(), upper.data(),
                                          slots.data(), bands + 2, out.data());
         return bytes_of(out);
     }},
    {"env_share_products",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300);
         const std::vector<float> lower = in.floats(count, 0.0f, 1.0f),
                                  upper = in.floats(count, 0.0f, 1.0f),
                                  values = in.floats(count, -1e4f, 1e4f);
         std::vector<float> lo(count), hi(count);
         env_share_products.at(level)(count, lower.data(), upper.data(), values.data(), lo.data(),
                                      hi.data());
         return bytes_of(lo, hi);
     }},
    {"env_chain_sums",
     [](CpuLevel level, Inputs& in) {
         // The rows of a rising table's chains over random products.
         const int count = in.count(1, 300), bands = in.count(1, 60);
         const std::vector<float> itab = positions(in, count, static_cast<float>(bands + 1));
         env_Shares shares;
         shares.prepare(itab.data(), count, bands);
         if (!shares.chained) return bytes_of(0);
         std::vector<float> rows = in.floats(static_cast<int>(shares.chain_space), -50.0f, 50.0f);
         std::fill(rows.begin() + count, rows.begin() + count + 8, 0.0f);
         std::fill(rows.begin() + 2 * count + 8, rows.begin() + 2 * count + 16, 0.0f);
         std::vector<float> slots(bands + 2);
         env_chain_sums.at(level)(rows.data(), shares.chain_crossings.data(),
                                  static_cast<int>(shares.chain_crossings.size() / 5),
                                  shares.chain_offsets.data(), shares.chain_steps.data(), bands + 2,
                                  slots.data());
         return bytes_of(slots, rows);
     }},
    {"env_rescale",
     [](CpuLevel level, Inputs& in) {
         std::vector<float> t = positions(in, in.count(0, 300), 40.0f);
         env_rescale.at(level)(t.data(), static_cast<int>(t.size()), 0.75f, t.empty() ? 0.0f : t[0],
                               0.37f);
         return bytes_of(t);
     }},
    {"env_first_steep_rise",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(2, 200);
         const std::vector<float> t = positions(in, count, 40.0f);
         const int from = in.count(1, count), end = in.count(from, count);
         return bytes_of(env_first_steep_rise.at(level)(t.data(), from, end, 0.5f));
     }},
    {"env_last_steep_rise",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(2, 200);
         const std::vector<float> t = positions(in, count, 40.0f);
         return bytes_of(env_last_steep_rise.at(level)(t.data(), in.count(-1, count - 2), 0.5f));
     }},
    {"stereo_square_roots",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300);
         const std::vector<float> x = in.floats(count, -1.0f, 1e6f);
         std::vector<float> out(count);
         stereo_square_roots.at(level)(x.data(), out.data(), count);
         return bytes_of(out);
     }},
    {"stereo_running_sums",
     [](CpuLevel level, Inputs& in) {
         const int frames = in.count(1, 8), n = in.count(0, 90);
         std::vector<std::vector<float>> maps;
         std::vector<float*> rows;
         for (int f = 0; f < frames; ++f) maps.push_back(in.floats(n, 0.0f, 30.0f));
         for (auto& m : maps) rows.push_back(m.data());
         std::vector<float> totals(frames);
         stereo_running_sums.at(level)(frames, rows.data(), n, totals.data());
         Bytes bytes = bytes_of(totals);
         for (const auto& m : maps) add(bytes, m);
         return bytes;
     }},
    {"stereo_add_slope",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300);
         std::vector<float> map = in.floats(count, 0.0f, 1e3f);
         stereo_add_slope.at(level)(map.data(), count, in.floats(1, -2.0f, 2.0f)[0]);
         return bytes_of(map);
     }},
    {"stereo_rotate_pairs",
     [](CpuLevel level, Inputs& in) {
         const int n = in.count(0, 300);
         const std::vector<float> balance = in.floats(n, 0.0f, 1.0f);
         std::vector<float> left = in.floats(2 * n, -1.0f, 1.0f),
                            right = in.floats(2 * n, -1.0f, 1.0f);
         const float direction = in.count(0, 1) == 1 ? 1.0f : -1.0f;
         stereo_rotate_pairs.at(level)(n, direction, balance.data(), left.data(), right.data());
         return bytes_of(left, right);
     }},
    {"masking_line_energies",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300);
         const std::vector<float> values = in.floats(count, -1e3f, 1e3f);
         std::vector<float> energy(count);
         masking_line_energies.at(level)(values.data(), in.floats(1, 0.0f, 8.0f)[0], energy.data(),
                                         count);
         return bytes_of(energy);
     }},
    {"masking_root_of_sums",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300);
         std::vector<float> out = in.floats(count, -1.0f, 1e6f);
         const std::vector<float> add = in.floats(count, 0.0f, 1e6f);
         masking_root_of_sums.at(level)(out.data(), add.data(), count);
         return bytes_of(out);
     }},
    {"masking_curves_in_lanes",
     [](CpuLevel level, Inputs& in) {
         const int frames = in.count(1, 8), n = in.count(1, 90);
         std::vector<std::vector<float>> values, out(frames, std::vector<float>(n));
         std::vector<const float*> rows;
         std::vector<float*> curves;
         for (int f = 0; f < frames; ++f) {
             values.push_back(in.floats(n, 0.0f, 1.0f));
             rows.push_back(values.back().data());
             curves.push_back(out[f].data());
         }
         const std::vector<float> upward = in.floats(n, 0.0f, 1.0f),
                                  downward = in.floats(n, 0.0f, 1.0f);
         std::vector<float> scratch(24 * n);
         masking_curves_in_lanes.at(level)(frames, rows.data(), 3.0f, upward.data(),
                                           downward.data(), n, scratch.data(), curves.data());
         Bytes bytes;
         for (const auto& c : out) add(bytes, c);
         return bytes;
     }},
    {"intensity_mean_magnitudes",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300);
         const std::vector<float> left = in.floats(2 * count, -1e4f, 1e4f),
                                  right = in.floats(2 * count, -1e4f, 1e4f);
         std::vector<float> out(count);
         intensity_mean_magnitudes.at(level)(left.data(), right.data(), out.data(), count);
         return bytes_of(out);
     }},
    {"stereo_line_magnitudes",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300);
         const std::vector<float> c = in.floats(2 * count, -1e4f, 1e4f);
         std::vector<float> out(count);
         stereo_line_magnitudes.at(level)(c.data(), out.data(), count);
         return bytes_of(out);
     }},
};

class AnalysisBuildsTest : public BuildsTest {};

TEST_P(AnalysisBuildsTest, PortableAndAvx2GiveTheSameBytes) {
    expect_builds_agree(GetParam(), 4410u);
}

INSTANTIATE_TEST_SUITE_P(Loops, AnalysisBuildsTest, testing::ValuesIn(kCases), case_name);

}  // namespace

}  // namespace x91
