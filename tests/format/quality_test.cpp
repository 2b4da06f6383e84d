#include "format/quality.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "format/settings_io.h"

namespace x91 {

namespace {

std::uint32_t bits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

TEST(QualityTest, RangeCheck) {
    EXPECT_FALSE(quality_in_range(9.999f));
    EXPECT_TRUE(quality_in_range(10.0f));
    EXPECT_TRUE(quality_in_range(400.0f));
    EXPECT_FALSE(quality_in_range(400.001f));
    EXPECT_FALSE(quality_in_range(NAN));
    EXPECT_EQ(quality_problem(NAN).message, "quality must be from 10 to 400 percent");
}

// Only the masking level and the quantiser base change, to the bits every
// host writes.
TEST(QualityTest, RescalesTheTwoSettings) {
    const struct {
        float quality;
        std::uint32_t level_scale;
        std::uint32_t base;
    } cases[] = {
        {50.0f, 0x3ECCCCCDu, 0x3F9AE148u},  // 0.4: CD CC CC 3E, 1.21: 48 E1 9A 3F
        {200.0f, bits(0.1f), bits(1.0488088f)},
        {100.0f, bits(0.2f), bits(1.1f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quality);
        HeaderSettings s;
        ASSERT_TRUE(apply_quality(s, c.quality).ok());
        EXPECT_EQ(bits(s.isettings.masking.level_scale), c.level_scale);
        EXPECT_EQ(bits(s.isettings.quantize.base), c.base);
        auto expected = x91_header_image(HeaderSettings{});
        const auto got = x91_header_image(s);
        std::copy(got.begin() + 34, got.begin() + 38, expected.begin() + 34);
        std::copy(got.begin() + 58, got.begin() + 62, expected.begin() + 58);
        EXPECT_EQ(got, expected);
    }
    HeaderSettings unchanged;
    for (float q : {9.9f, 400.5f, -1.0f, NAN}) {
        EXPECT_EQ(apply_quality(unchanged, q).status, Status::invalid_argument);
        EXPECT_EQ(x91_header_image(unchanged), x91_header_image(HeaderSettings{}));
    }
}

}  // namespace

}  // namespace x91
