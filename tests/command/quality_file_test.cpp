#include "command/quality_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>

#include "format/settings_io.h"
#include "storage/memory_stream.h"
#include "support/scratch_dir.h"

using namespace x91test;

namespace x91::cli {

namespace {

std::uint32_t bits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

class QualityFileTest : public testing::Test {
  protected:
    // Writes text as the quality file and runs the start-up step on a copy
    // of the default settings.
    float run(const std::string& text) {
        const std::string path = dir_.file("enc_quality.ini");
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        write_file(path, bytes);
        settings_ = is;
        out_.str("");
        err_.str("");
        return use_quality_file(path, settings_, out_, err_);
    }

    bool settings_are_default() const { return std::memcmp(&settings_, &is, sizeof is) == 0; }

    ScratchDir dir_;
    da_ISettings settings_{};
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(QualityFileTest, FiftyHalvesTheScaleAndSquaresTheBase) {
    EXPECT_EQ(run("50\n"), 50.0f);
    EXPECT_EQ(bits(settings_.masking.level_scale), 0x3ECCCCCDu);  // 0.4: CD CC CC 3E
    EXPECT_EQ(bits(settings_.quantize.base), 0x3F9AE148u);        // 1.21: 48 E1 9A 3F
    EXPECT_EQ(out_.str(), "Encoding Quality : 50 %\n\n");
    EXPECT_EQ(err_.str(), "");
    // Only the two rescaled values change.
    EXPECT_EQ(settings_.masking.downward_base, is.masking.downward_base);
    EXPECT_EQ(settings_.masking.upward_base, is.masking.upward_base);
    EXPECT_EQ(settings_.masking.reserved5, is.masking.reserved5);
}

TEST_F(QualityFileTest, FiftyChangesExactlyTwoFieldsOfTheHeader) {
    run("50");
    MemoryStream plain, scaled;
    const da_CodeFeatures none = {{0, 0, 0}};
    ASSERT_TRUE(write_x91_header(plain, {none, ds, is}));
    ASSERT_TRUE(write_x91_header(scaled, {none, ds, settings_}));
    std::vector<std::uint8_t> expected = plain.bytes();
    const std::uint8_t scale[4] = {0xCD, 0xCC, 0xCC, 0x3E};
    const std::uint8_t base[4] = {0x48, 0xE1, 0x9A, 0x3F};
    std::copy(scale, scale + 4, expected.begin() + 34);
    std::copy(base, base + 4, expected.begin() + 58);
    EXPECT_EQ(scaled.bytes(), expected);
}

TEST_F(QualityFileTest, OtherQualities) {
    EXPECT_EQ(run("  200 trailing words"), 200.0f);
    EXPECT_EQ(settings_.masking.level_scale, 0.1f);
    EXPECT_EQ(settings_.quantize.base, 1.0488088f);
    EXPECT_EQ(run("100"), 100.0f);
    EXPECT_TRUE(settings_are_default());
    EXPECT_EQ(out_.str(), "Encoding Quality : 100 %\n\n");
    run("62.5");
    EXPECT_EQ(out_.str(), "Encoding Quality : 62.5 %\n\n");
    EXPECT_EQ(run("10"), 10.0f);
    EXPECT_EQ(run("400"), 400.0f);
}

TEST_F(QualityFileTest, NothingPositiveKeepsTheDefaultsSilently) {
    for (const char* text : {"-5", "0", "abc", "", "   \n", "nan", "-inf"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(run(text), 0.0f);
        EXPECT_TRUE(settings_are_default());
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(err_.str(), "");
    }
}

TEST_F(QualityFileTest, MissingFileKeepsTheDefaultsSilently) {
    da_ISettings s = is;
    std::ostringstream out, err;
    EXPECT_EQ(use_quality_file(dir_.file("absent.ini"), s, out, err), 0.0f);
    EXPECT_EQ(std::memcmp(&s, &is, sizeof is), 0);
    EXPECT_EQ(out.str() + err.str(), "");
}

TEST_F(QualityFileTest, QualityOutsideTheRangeIsRefusedWithOneLine) {
    const std::string path = dir_.file("enc_quality.ini");
    for (const char* text : {"5", "1000", "9.99", "400.01"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(run(text), 0.0f);
        EXPECT_TRUE(settings_are_default());
        EXPECT_EQ(out_.str(), "");
        std::ostringstream q;
        q << std::stof(text);
        EXPECT_EQ(err_.str(), "x91: " + path + ": quality " + q.str() +
                                  " outside 10 to 400, using the default\n");
    }
}

TEST(QualityTest, ReadingTheFile) {
    ScratchDir dir;
    const std::string path = dir.file("q.ini");
    write_file(path, {'\t', '7', '5', 'x'});
    std::ostringstream err;
    EXPECT_EQ(read_quality_file(path, err), 75.0f);
    EXPECT_EQ(read_quality_file(dir.file("none"), err), 0.0f);
    EXPECT_EQ(err.str(), "");
}

}  // namespace

}  // namespace x91::cli
