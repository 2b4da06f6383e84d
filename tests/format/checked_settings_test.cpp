#include "format/checked_settings.h"

#include <gtest/gtest.h>

#include <limits>

namespace x91 {

namespace {

TEST(CheckedSettingsTest, BandBoundsFollowTheLineCount) {
    HeaderSettings s{da_CodeFeatures{}, ds, is};
    s.dsettings.global.lines = 56;
    s.dsettings.intensity.bands = 55;
    s.dsettings.side_stereo.bands = 56;
    EXPECT_EQ(check_settings(s).problem, "x91 header damaged: side-stereo band count 56");
    EXPECT_FALSE(check_settings(s).settings);
    s.dsettings.side_stereo.bands = 55;
    const SettingsCheck accepted = check_settings(s);
    EXPECT_EQ(accepted.problem, "");
    ASSERT_TRUE(accepted.settings);
    EXPECT_EQ(accepted.settings->dsettings().side_stereo.bands, 55);
    s.dsettings.global.lines = std::numeric_limits<int>::min();
    EXPECT_EQ(check_settings(s).problem, "x91 header damaged: line count -2147483648");
}

}  // namespace

}  // namespace x91
