#include "framework/module.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "framework/debug_messages.h"

namespace x91 {

namespace {

class CountingModule final : public da_Module {
  public:
    CountingModule() { name = "CountingModule"; }
    void work() override { ++calls; }
    int calls = 0;
};

class CoutCapture {
  public:
    CoutCapture() : old_(std::cout.rdbuf(captured.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(old_); }
    std::ostringstream captured;

  private:
    std::streambuf* old_;
};

TEST(ModuleTest, WorkTCallsWorkAndKeepsTimeNonNegative) {
    CountingModule m;
    m.work_t();
    m.work_t();
    EXPECT_EQ(m.calls, 2);
    EXPECT_GE(m.work_time, 0);
}

TEST(ModuleTest, DestructorIsSilentWithoutDebugMessages) {
    CoutCapture capture;
    { CountingModule m; }
    EXPECT_EQ(capture.captured.str(), "");
}

TEST(ModuleTest, DestructorReportsWorkTimeWithDebugMessages) {
    CoutCapture capture;
    DebugMsgsOn = true;
    {
        CountingModule m;
        m.work_time = 15;
    }
    DebugMsgsOn = false;
    EXPECT_EQ(capture.captured.str(), " WorkTime: 15 @ CountingModule\n");
}

TEST(ModuleTest, MillisecondClockAdvances) {
    const int a = get_millis();
    const int b = get_millis();
    EXPECT_GE(b - a, 0);
}

}  // namespace

}  // namespace x91
