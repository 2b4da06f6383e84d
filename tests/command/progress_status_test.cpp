// The progress a person reads on a terminal: percent, time left, speed and
// the place in the run, from what is known of the file.
#include "command/progress_status.h"

#include <gtest/gtest.h>

namespace {

using x91::cli::duration_text;
using x91::cli::progress_status;
using x91::cli::ProgressFigures;

TEST(ProgressStatusTest, ShowsWhatIsKnown) {
    const struct {
        const char* what;
        ProgressFigures figures;
        std::string status;
    } cases[] = {
        {"a file half done in 10 s", {60, 10, 0.5, 0, 0, {}}, "50%  0:10 left  6.0x  "},
        {"unknown length: speed only", {60, 10, {}, 0, 0, {}}, "6.0x  "},
        {"just begun: no speed yet", {0, 0.01, 0.0, 0, 0, {}}, "0%  "},
        {"past its length", {61, 10, 1.02, 0, 0, {}}, "100%  0:00 left  6.1x  "},
        {"file 3 of 120, the run's time left",
         {30, 1, 0.25, 3, 120, 4000.0},
         "file 3 of 120  25%  0:03 left  30.0x  run 1:06:40 left  "},
        {"one file of one: no place in the run",
         {30, 1, 0.25, 1, 1, 3.0},
         "25%  0:03 left  30.0x  "},
    };
    for (const auto& c : cases) EXPECT_EQ(progress_status(c.figures), c.status) << c.what;
}

TEST(ProgressStatusTest, DurationsReadAsClockTimes) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {{0, "0:00"}, {7.4, "0:07"}, {754, "12:34"}, {3723, "1:02:03"}, {-5, "0:00"}};
    for (const auto& c : cases) EXPECT_EQ(duration_text(c.seconds), c.text) << c.seconds;
}

}  // namespace
