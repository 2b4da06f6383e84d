#include "framework/cpu_dispatch.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace x91 {

namespace {

TEST(CpuDispatchTest, TheSettingOnlyEverLowersTheLevel) {
    constexpr CpuLevel p = CpuLevel::portable, v = CpuLevel::avx2;
    const struct {
        const char* setting;
        CpuLevel available, expected;
    } cases[] = {
        {nullptr, v, v},
        {"", v, v},
        {"avx2", v, v},
        {"portable", v, p},
        {nullptr, p, p},
        {"avx2", p, p},
        {"portable", p, p},
        // A word the library does not know keeps to the code that runs anywhere.
        {"AVX2", v, p},
        {"avx512", v, p},
        {"native", v, p},
    };
    for (const auto& c : cases)
        EXPECT_EQ(choose_cpu_level(c.setting, c.available), c.expected)
            << (c.setting ? c.setting : "(unset)") << ", available "
            << static_cast<int>(c.available);
}

TEST(CpuDispatchTest, TheProcessRunsAtTheLevelItsEnvironmentChooses) {
    EXPECT_EQ(cpu_level(), choose_cpu_level(std::getenv("X91_CPU"), cpu_level_available()));
}

TEST(CpuDispatchTest, CallsRunTheBuildOfTheProcessLevel) {
    const CpuVariants<int(int)> builds = {[](int x) { return x; }, [](int x) { return -x; }};
    EXPECT_EQ(builds(3), cpu_level() == CpuLevel::avx2 ? -3 : 3);
}

}  // namespace

}  // namespace x91
