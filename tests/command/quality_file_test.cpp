#include "command/quality_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

#include "support/scratch_dir.h"

using namespace x91test;

namespace x91::cli {

namespace {

class QualityFileTest : public testing::Test {
  protected:
    // Writes text as the quality file and runs the start-up step.
    float run(const std::string& text) {
        const std::string path = dir_.file("enc_quality.ini");
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        write_file(path, bytes);
        out_.str("");
        err_.str("");
        return use_quality_file(path, out_, err_);
    }

    ScratchDir dir_;
    std::ostringstream out_;
    std::ostringstream err_;
};

// What the quality does to the settings is the library's (tests/format).
TEST_F(QualityFileTest, QualitiesInRangeAreShownAndHandedOn) {
    const struct {
        const char* text;
        float quality;
        const char* line;
    } cases[] = {
        {"50\n", 50.0f, "Encoding Quality : 50 %\n\n"},
        {"  200 trailing words", 200.0f, "Encoding Quality : 200 %\n\n"},
        {"100", 100.0f, "Encoding Quality : 100 %\n\n"},
        {"62.5", 62.5f, "Encoding Quality : 62.5 %\n\n"},
        {"10", 10.0f, "Encoding Quality : 10 %\n\n"},
        {"400", 400.0f, "Encoding Quality : 400 %\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(run(c.text), c.quality);
        EXPECT_EQ(out_.str(), c.line);
        EXPECT_EQ(err_.str(), "");
    }
}

TEST_F(QualityFileTest, NothingPositiveKeepsTheDefaultsSilently) {
    for (const char* text : {"-5", "0", "abc", "", "   \n", "nan", "-inf"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(run(text), 0.0f);
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(err_.str(), "");
    }
    std::ostringstream out, err;
    EXPECT_EQ(use_quality_file(dir_.file("absent.ini"), out, err), 0.0f);
    EXPECT_EQ(out.str() + err.str(), "");
}

TEST_F(QualityFileTest, QualityOutsideTheRangeIsRefusedWithOneLine) {
    const std::string path = dir_.file("enc_quality.ini");
    for (const char* text : {"5", "1000", "9.99", "400.01"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(run(text), 0.0f);
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
