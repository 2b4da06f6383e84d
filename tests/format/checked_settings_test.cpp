#include "format/checked_settings.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace x91 {

namespace {

TEST(CheckedSettingsTest, BandBoundsFollowTheLineCount) {
    HeaderSettings s{da_CodeFeatures{}, ds, is};
    std::optional<CheckedSettings> checked;
    ASSERT_TRUE(check_settings(s, checked));
    s.dsettings.global.lines = 56;
    s.dsettings.intensity.bands = 55;
    s.dsettings.side_stereo.bands = 56;
    Result r = check_settings(s, checked);
    EXPECT_EQ(r.status, Status::header_damaged);
    EXPECT_EQ(r.message, "x91 header damaged: side-stereo band count 56");
    EXPECT_FALSE(checked) << "a refusal leaves no settings behind";
    s.dsettings.side_stereo.bands = 55;
    r = check_settings(s, checked);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.message, "");
    ASSERT_TRUE(checked);
    EXPECT_EQ(checked->dsettings().side_stereo.bands, 55);
    s.dsettings.global.lines = std::numeric_limits<int>::min();
    EXPECT_EQ(check_settings(s, checked).message, "x91 header damaged: line count -2147483648");
}

}  // namespace

}  // namespace x91
