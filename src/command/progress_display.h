// What one conversion shows while it runs: the conversion line, the progress
// line and "done.".
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace x91::cli {

class ProgressDisplay {
  public:
    // Shows nothing for a null out. On a terminal the progress line is
    // redrawn at most ten times a second; anywhere else (a log, a pipe) only
    // its last state is written, once, when the conversion ends.
    ProgressDisplay(std::ostream* out, bool terminal);

    // "<verb> : '<in>' to : '<out>'" and a line end.
    void begin(const char* verb, const std::string& in, const std::string& out);
    // The counts so far; time_count is positive.
    void update(std::int64_t time_count, std::int64_t byte_count);
    // The progress line's last state where it is not on the screen yet, a
    // line end, and "done." with a line end when done: the output is safely
    // in place (closed, renamed) or kept despite damage to the input.
    void end(bool done);

  private:
    void draw();

    std::ostream* out_;
    bool terminal_;
    std::int64_t time_count_ = 0;
    std::int64_t byte_count_ = 0;
    bool drawn_ = true;  // the line on the screen shows the latest counts
    std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace x91::cli
