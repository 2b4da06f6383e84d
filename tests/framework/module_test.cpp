#include "framework/module.h"

#include <gtest/gtest.h>

#include "framework/debug_messages.h"

namespace x91 {

namespace {

class CountingModule final : public da_Module {
  public:
    CountingModule() { name = "CountingModule"; }
    void work() override { ++calls; }
    int calls = 0;
};

TEST(ModuleTest, WorkTCallsWorkAndKeepsTimeNonNegative) {
    CountingModule m;
    m.work_t();
    m.work_t();
    EXPECT_EQ(m.calls, 2);
    EXPECT_GE(m.work_time, 0);
}

TEST(ModuleTest, DestructorIsSilentWithoutDebugMessages) {
    testing::internal::CaptureStdout();
    { CountingModule m; }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ModuleTest, DestructorReportsWorkTimeWithDebugMessages) {
    testing::internal::CaptureStdout();
    DebugMsgsOn = true;
    {
        CountingModule m;
        m.work_time = 15;
    }
    DebugMsgsOn = false;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " WorkTime: 15 @ CountingModule\n");
}

TEST(ModuleTest, MillisecondClockAdvances) {
    const int a = get_millis();
    const int b = get_millis();
    EXPECT_GE(b - a, 0);
}

}  // namespace

}  // namespace x91
