#include "format/quality.h"

#include <gtest/gtest.h>

#include <cmath>

namespace x91 {

namespace {

TEST(QualityTest, RangeCheck) {
    EXPECT_FALSE(quality_in_range(9.999f));
    EXPECT_TRUE(quality_in_range(10.0f));
    EXPECT_TRUE(quality_in_range(400.0f));
    EXPECT_FALSE(quality_in_range(400.001f));
    EXPECT_FALSE(quality_in_range(NAN));
}

}  // namespace

}  // namespace x91
