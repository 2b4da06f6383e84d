#include "dsp/cpu_variants.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/build_comparison.h"

namespace x91 {

namespace {

using namespace build_comparison;

// Eight pairs fill the lanes once; up to 19 also leave a partial group.
Bytes run_batch(const decltype(hvst56_batch)& batch, CpuLevel level, Inputs& in) {
    const int count = in.count(0, 19);
    std::vector<std::vector<float>> x, y, tx(count, std::vector<float>(56)),
        ty(count, std::vector<float>(56));
    std::vector<const float*> xp, yp;
    std::vector<float*> txp, typ;
    for (int i = 0; i < count; ++i) {
        x.push_back(in.floats(56, -1.0f, 1.0f));
        y.push_back(in.floats(56, -1.0f, 1.0f));
        xp.push_back(x.back().data());
        yp.push_back(y.back().data());
        txp.push_back(tx[i].data());
        typ.push_back(ty[i].data());
    }
    batch.at(level)(count, xp.data(), yp.data(), txp.data(), typ.data());
    Bytes out;
    for (int i = 0; i < count; ++i) {
        add(out, tx[i]);
        add(out, ty[i]);
    }
    return out;
}

Bytes run_rotation(const decltype(overlap56_rotation)& rotation, CpuLevel level, Inputs& in) {
    const std::vector<float> src = in.floats(56, -1.0f, 1.0f);
    std::vector<float> dst(56);
    rotation.at(level)(src.data(), dst.data());
    return bytes_of(dst);
}

const Case kCases[] = {
    {"dft_1764",
     [](CpuLevel level, Inputs& in) {
         const int a = 2 * in.count(1, 2), b = 2 * in.count(1, 3);
         const std::vector<float> x = in.floats(1764 * a, -1.0f, 1.0f);
         std::vector<float> y(1764 * b);
         fft_detail::dft_1764.at(level)(x.data(), y.data(), a, b, in.count(0, 1) == 1);
         return bytes_of(y);
     }},
    {"mdcst_forward_long",
     [](CpuLevel level, Inputs& in) {
         const std::vector<float> x = in.floats(3528, -1.0f, 1.0f);
         std::vector<float> a(1764), b(1764);
         mdcst_forward_long.at(level)(x.data(), a.data(), b.data());
         return bytes_of(a, b);
     }},
    {"mdcst_inverse_long",
     [](CpuLevel level, Inputs& in) {
         const std::vector<float> a = in.floats(1764, -9.0f, 9.0f),
                                  b = in.floats(1764, -9.0f, 9.0f);
         std::vector<float> y(3528);
         mdcst_inverse_long.at(level)(a.data(), b.data(), y.data());
         return bytes_of(y);
     }},
    {"hvst56_batch", [](CpuLevel level, Inputs& in) { return run_batch(hvst56_batch, level, in); }},
    {"ihvst56_batch",
     [](CpuLevel level, Inputs& in) { return run_batch(ihvst56_batch, level, in); }},
    {"overlap56_rotation",
     [](CpuLevel level, Inputs& in) { return run_rotation(overlap56_rotation, level, in); }},
    {"ioverlap56_rotation",
     [](CpuLevel level, Inputs& in) { return run_rotation(ioverlap56_rotation, level, in); }},
    {"cdda_inverse_block",
     [](CpuLevel level, Inputs& in) {
         // Loud spectra and tails, so that samples also clip; the spectra
         // hold only the lines read.
         const int lines = in.count(1, 882);
         const std::vector<float> a = in.floats(2 * lines, -40.0f, 40.0f),
                                  b = in.floats(2 * lines, -40.0f, 40.0f);
         std::vector<float> tail = in.floats(1764, -1.5f, 1.5f);
         Bytes block(3528);
         cdda_inverse_block.at(level)(a.data(), b.data(), lines, tail.data(), block.data());
         add(block, tail);
         return block;
     }},
    {"spectrum_real_parts",
     [](CpuLevel level, Inputs& in) {
         const int lines = in.count(0, 900);
         const std::vector<float> s = in.floats(2 * lines, -4.0f, 4.0f);
         std::vector<float> r(lines);
         spectrum_real_parts.at(level)(s.data(), r.data(), lines);
         return bytes_of(r);
     }},
    {"spectrum_from_real_parts",
     [](CpuLevel level, Inputs& in) {
         const int lines = in.count(0, 900);
         const std::vector<float> r = in.floats(lines, -4.0f, 4.0f);
         std::vector<float> s(2 * lines);
         spectrum_from_real_parts.at(level)(r.data(), s.data(), lines);
         return bytes_of(s);
     }},
};

class DspBuildsTest : public BuildsTest {};

TEST_P(DspBuildsTest, PortableAndAvx2GiveTheSameBytes) {
    expect_builds_agree(GetParam(), 1764u);
}

INSTANTIATE_TEST_SUITE_P(Loops, DspBuildsTest, testing::ValuesIn(kCases), case_name);

}  // namespace

}  // namespace x91
