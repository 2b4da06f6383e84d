#include "quant/cpu_variants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/build_comparison.h"

namespace x91 {

namespace {

using namespace build_comparison;

const Case kCases[] = {
    {"quant_table_levels",
     [](CpuLevel level, Inputs& in) {
         const int size = in.count(1, 40), count = in.count(0, 100);
         const std::vector<float> table = in.floats(size, -9.0f, 9.0f);
         // Mostly levels near the middle, as in spectra; now and then one
         // index falls outside the table.
         const int middle = size / 2;
         const int spread = in.count(0, 1) == 1 ? 5 : middle + 1;
         const std::vector<int> index =
             in.ints(count, -std::min(spread, middle + 1), std::min(spread, size - middle));
         std::vector<float> out(count);
         const bool inside = quant_table_levels.at(level)(table.data(), size, middle, index.data(),
                                                          out.data(), count);
         // An unfinished output is undefined.
         if (!inside) out.clear();
         return bytes_of(inside, out);
     }},
    {"quant_block_amplitudes",
     [](CpuLevel level, Inputs& in) {
         // Up to 19 blocks: whole groups of eight and a partial one.
         const int count = in.count(0, 19);
         std::vector<std::vector<float>> blocks;
         std::vector<const float*> rows;
         for (int e = 0; e < count; ++e) blocks.push_back(in.floats(56, -3e19f, 3e19f));
         for (const auto& b : blocks) rows.push_back(b.data());
         std::vector<float> out(count);
         quant_block_amplitudes.at(level)(count, rows.data(), out.data());
         return bytes_of(out);
     }},
    {"quant_scale_lines",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300);
         std::vector<float> x = in.floats(count, -1e3f, 1e3f);
         const std::vector<float> curve = in.floats(count, 0.0f, 4.0f);
         quant_scale_lines.at(level)(x.data(), curve.data(), count);
         return bytes_of(x);
     }},
    {"quant_mark_level_zero",
     [](CpuLevel level, Inputs& in) {
         const int blocks = in.count(0, 40);
         const std::vector<float> x = in.floats(8 * blocks, -0.05f, 0.05f);
         const double b_minus_1 = in.count(1, 200);
         std::vector<float> y(8 * blocks);
         std::vector<unsigned char> below(blocks);
         quant_mark_level_zero.at(level)(x.data(), blocks, b_minus_1, 2.0f, y.data(), below.data());
         return bytes_of(y, below);
     }},
    {"quant_scale_lines_complex",
     [](CpuLevel level, Inputs& in) {
         const int count = in.count(0, 300);
         const std::vector<float> x = in.floats(count, -1e3f, 1e3f);
         const std::vector<float> curve = in.floats(count, 0.0f, 4.0f);
         std::vector<float> s(2 * count);
         quant_scale_lines_complex.at(level)(x.data(), curve.data(), s.data(), count);
         return bytes_of(s);
     }},
};

class QuantBuildsTest : public BuildsTest {};

TEST_P(QuantBuildsTest, PortableAndAvx2GiveTheSameBytes) {
    expect_builds_agree(GetParam(), 882u);
}

INSTANTIATE_TEST_SUITE_P(Loops, QuantBuildsTest, testing::ValuesIn(kCases), case_name);

}  // namespace

}  // namespace x91
