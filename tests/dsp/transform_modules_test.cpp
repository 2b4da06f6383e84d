#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "dsp/cdda_mdcst.h"
#include "dsp/mdcst.h"
#include "dsp/numeric.h"
#include "dsp/spectrum_converters.h"
#include "dsp_test_support.h"
#include "framework/typed_queues.h"

namespace x91 {

namespace {

using Block = std::vector<int>;  // 1764 interleaved samples

Item<unsigned char> make_block(const Block& s) {
    auto p = item_alloc<unsigned char>(cdda_block_bytes);
    for (int i = 0; i < 1764; ++i) {
        const auto bits = static_cast<std::uint16_t>(s[static_cast<std::size_t>(i)]);
        p[2 * i] = static_cast<unsigned char>(bits & 0xff);
        p[2 * i + 1] = static_cast<unsigned char>(bits >> 8);
    }
    return p;
}

Block read_block(const Item<unsigned char>& p) {
    Block s(1764);
    for (int i = 0; i < 1764; ++i)
        s[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(static_cast<std::uint16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
    return s;
}

// The whole transform chain of encoder and decoder without quantisation.
class Chain {
  public:
    explicit Chain(int lines)
        : settings_{lines}, fwd_(settings_), crs_(settings_), rcs_(settings_), inv_(settings_) {
        fwd_.input = blocks_;
        fwd_.output = complex_;
        crs_.input = complex_;
        crs_.output1 = discard_;
        crs_.output2 = real_;
        rcs_.input = real_;
        rcs_.output1 = discard_;
        rcs_.output2 = rebuilt_;
        inv_.input = rebuilt_;
        inv_.output = pcm_;
    }

    Block run(const Block& in) {
        blocks_.put_data(make_block(in));
        fwd_.work_t();
        crs_.work_t();
        rcs_.work_t();
        inv_.work_t();
        discard_.drain();
        EXPECT_EQ(pcm_.queued(), 1);
        return read_block(pcm_.get_data());
    }

  private:
    da_DGlobalSettings settings_;
    DataQueue<unsigned char> blocks_{4}, pcm_{4};
    DataQueue<float> complex_{4}, real_{4}, rebuilt_{4};
    DiscardQueue discard_{8};
    da_CDDA_MDCST fwd_;
    da_CRSpecsTransform crs_;
    da_RCSpecsTransform rcs_;
    da_CDDA_iMDCST inv_;
};

TEST(CddaMdcstTest, SilenceGivesTwoZeroSpectraOfPaddedLength) {
    DataQueue<unsigned char> in(4);
    DataQueue<float> out(4);
    da_CDDA_MDCST m(da_DGlobalSettings{1000});
    EXPECT_STREQ(m.name, "da_CDDA_MDCST");
    m.input = in;
    m.output = out;
    for (int round = 0; round < 2; ++round) in.put_data(make_block(Block(1764, 0)));
    m.work();
    EXPECT_EQ(in.queued(), 0);
    ASSERT_EQ(out.queued(), 4);
    while (out.queued() > 0) {
        const auto s = out.get_data();
        for (int i = 0; i < 2 * 1000; ++i) ASSERT_EQ(s[i], 0.0f) << i;
    }
}

TEST(CddaMdcstTest, ChainWithAllLinesReturnsInputOneBlockLate) {
    SeededRng rng(dsp_test::kSeed);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    Chain chain(882);
    Block previous(1764, 0);
    for (int j = 0; j < 6; ++j) {
        Block in(1764);
        for (int& s : in) s = sample(rng);
        in[0] = -32768;
        in[1] = 32767;
        const Block out = chain.run(in);
        for (int i = 0; i < 1764; ++i)
            ASSERT_LE(
                std::abs(out[static_cast<std::size_t>(i)] - previous[static_cast<std::size_t>(i)]),
                1)
                << "block " << j << " sample " << i;
        previous = in;
    }
}

TEST(CddaMdcstTest, ChainWith800LinesKeepsContentBelow20kHz) {
    Chain chain(800);
    Block previous(1764, 0);
    int worst = 0;
    for (int j = 0; j < 6; ++j) {
        Block in(1764);
        for (int f = 0; f < 882; ++f) {
            const double t = (882.0 * j + f) / 44100.0;
            in[static_cast<std::size_t>(2 * f)] =
                static_cast<int>(12000.0 * std::sin(2 * dsp_test::pi * 440.0 * t));
            in[static_cast<std::size_t>(2 * f + 1)] =
                static_cast<int>(9000.0 * std::cos(2 * dsp_test::pi * 3100.0 * t));
        }
        const Block out = chain.run(in);
        if (j >= 2)  // the start-up from silence is not band limited
            for (int i = 0; i < 1764; ++i)
                worst = std::max(worst, std::abs(out[static_cast<std::size_t>(i)] -
                                                 previous[static_cast<std::size_t>(i)]));
        previous = in;
    }
    EXPECT_LE(worst, 2);
}

TEST(CddaMdcstTest, SampleConversionTruncatesAndClipsEveryFloat) {
    EXPECT_EQ(cdda_sample(0.99999f), 32767);
    EXPECT_EQ(cdda_sample(-0.00001f), 0);
    EXPECT_EQ(cdda_sample(1.5f), 32767);
    EXPECT_EQ(cdda_sample(-1.5f), -32768);
    EXPECT_EQ(cdda_sample(-1.0f), -32768);
    EXPECT_EQ(cdda_sample(0.5f / 32768.0f), 0);
    EXPECT_EQ(cdda_sample(-1.9f / 32768.0f), -1);
    EXPECT_EQ(cdda_sample(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(cdda_sample(std::numeric_limits<float>::infinity()), 32767);
    EXPECT_EQ(cdda_sample(-std::numeric_limits<float>::infinity()), -32768);
    EXPECT_EQ(cdda_sample(3e38f), 32767);
    EXPECT_EQ(cdda_sample(-3e38f), -32768);
}

TEST(CddaIMdcstTest, SingleSpectrumWaitsForItsPartner) {
    DataQueue<float> in(4);
    DataQueue<unsigned char> out(4);
    da_CDDA_iMDCST m(da_DGlobalSettings{800});
    EXPECT_STREQ(m.name, "da_CDDA_iMDCST");
    m.input = in;
    m.output = out;
    in.put_data(item_alloc_zeroed<float>(2 * 800));
    m.work();
    EXPECT_EQ(out.queued(), 0);
    EXPECT_EQ(in.queued(), 1);
    in.put_data(item_alloc_zeroed<float>(2 * 800));
    m.work();
    EXPECT_EQ(in.queued(), 0);
    ASSERT_EQ(out.queued(), 1);
    EXPECT_EQ(read_block(out.get_data()), Block(1764, 0));
}

// The inverse reads a spectrum's coded lines where they lie and takes the
// lines above them as 0: the blocks are those of the zero-filled spectra,
// for line counts around a group of eight lanes and beyond the 882 used.
TEST(CddaIMdcstTest, CodedLinesGiveTheBlocksOfZeroFilledSpectra) {
    std::mt19937 rng(dsp_test::kSeed);
    for (const int lines : {1, 7, 8, 9, 640, 875, 881, 882, 900}) {
        DataQueue<float> in(8), in_full(8);
        DataQueue<unsigned char> out(8), out_full(8);
        da_CDDA_iMDCST m(da_DGlobalSettings{lines});
        da_CDDA_iMDCST full(da_DGlobalSettings{882});
        m.input = in;
        m.output = out;
        full.input = in_full;
        full.output = out_full;
        const int used = std::min(lines, 882);
        for (int spectrum = 0; spectrum < 6; ++spectrum) {
            // Quiet enough that few samples clip.
            std::vector<float> v = dsp_test::random_floats(rng, 2 * lines);
            for (float& x : v) x *= 0.005f;
            auto coded = item_alloc<float>(v.size());
            auto padded = item_alloc<float>(2 * 882);
            std::copy(v.begin(), v.end(), coded.get());
            std::fill(padded.get(), padded.get() + 2 * 882, 0.0f);
            std::copy(v.begin(), v.begin() + 2 * used, padded.get());
            in.put_data(std::move(coded));
            in_full.put_data(std::move(padded));
        }
        m.work();
        full.work();
        ASSERT_EQ(out.queued(), 3);
        for (int block = 0; block < 3; ++block)
            EXPECT_EQ(read_block(out.get_data()), read_block(out_full.get_data()))
                << lines << " lines, block " << block;
    }
}

// Damaged spectra reach the inverse unchecked: NaN, overflowing and merely
// loud lines must come out sample by sample as cdda_sample of the overlap-add
// sum (NaN as silence, the rest clipped), and the frames after them clean.
TEST(CddaIMdcstTest, DamagedLinesGiveTheOverlapAddSumConverted) {
    DataQueue<float> in(16);
    DataQueue<unsigned char> out(16);
    da_CDDA_iMDCST m(da_DGlobalSettings{882});
    m.input = in;
    m.output = out;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float frames[][2] = {{nan, 0.0f},  {0.0f, 0.0f},  {3e38f, -3e38f}, {inf, 0.0f},
                               {0.0f, 0.0f}, {2e2f, -5e1f}, {0.0f, 0.0f},    {0.0f, 0.0f}};
    std::vector<float> held(1764, 0.0f);
    std::vector<Block> expected;
    for (const auto& f : frames) {
        std::vector<float> a(2 * 882, 0.0f), b(2 * 882, 0.0f), y(2 * 1764);
        a[6] = f[0];
        b[3] = f[1];
        auto sa = item_alloc<float>(a.size());
        auto sb = item_alloc<float>(b.size());
        std::copy(a.begin(), a.end(), sa.get());
        std::copy(b.begin(), b.end(), sb.get());
        in.put_data(std::move(sa));
        in.put_data(std::move(sb));
        stereo_imdcst_1764(a.data(), b.data(), y.data());
        Block block(1764);
        for (int i = 0; i < 1764; ++i) {
            block[i] = cdda_sample(held[i] + y[i]);
            held[i] = 0.0f + y[1764 + i];
        }
        expected.push_back(block);
    }
    m.work();
    ASSERT_EQ(out.queued(), static_cast<int>(expected.size()));
    for (std::size_t j = 0; j < expected.size(); ++j)
        EXPECT_EQ(read_block(out.get_data()), expected[j]) << "frame " << j;
    EXPECT_EQ(expected[0], Block(1764, 0));
    EXPECT_EQ(expected.back(), Block(1764, 0));
}

TEST(SpectrumConvertersTest, RealPartsScaledOneWayAndBack) {
    const int lines = 5;
    DataQueue<float> in(4), keep(4), out(4);
    da_CRSpecsTransform cr(da_DGlobalSettings{lines});
    EXPECT_STREQ(cr.name, "da_CRSpecsTransform");
    cr.input = in;
    cr.output1 = keep;
    cr.output2 = out;
    auto s = item_alloc<float>(2 * 882);
    for (int i = 0; i < 2 * 882; ++i) s[i] = static_cast<float>(i) - 3.5f;
    const float* given = s.get();
    in.put_data(std::move(s));
    cr.work();
    ASSERT_EQ(keep.queued(), 1);
    s = keep.get_data();
    EXPECT_EQ(s.get(), given);
    auto r = out.get_data();
    for (int i = 0; i < lines; ++i) EXPECT_EQ(r[i], s[2 * i] * r_sqrt_two);

    da_RCSpecsTransform rc(da_DGlobalSettings{lines});
    EXPECT_STREQ(rc.name, "da_RCSpecsTransform");
    rc.input = in;
    rc.output1 = keep;
    rc.output2 = out;
    given = r.get();
    in.put_data(std::move(r));
    rc.work();
    r = keep.get_data();
    EXPECT_EQ(r.get(), given);
    const auto c = out.get_data();
    for (int i = 0; i < lines; ++i) {
        EXPECT_EQ(c[2 * i], r[i] * r_sqrt_two);
        EXPECT_EQ(c[2 * i + 1], 0.0f);
    }
}

}  // namespace

}  // namespace x91
