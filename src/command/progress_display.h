// What one conversion shows while it runs: the conversion line, the progress
// line and "done.".
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "command/progress_status.h"
#include "command/run_progress.h"

namespace x91::cli {

class ProgressDisplay {
  public:
    // Shows nothing for a null out. On a terminal the progress line is
    // redrawn at most ten times a second; anywhere else (a log, a pipe) only
    // its last state is written, once, when the conversion ends.
    ProgressDisplay(std::ostream* out, bool terminal);
    // The same, with notes ("x91: <file>: <text>" lines) going to `notes`
    // (none for null), and on a terminal the place of the file in its run
    // (none for null): file `file_number` of run->file_count().
    ProgressDisplay(std::ostream* out, bool terminal, std::ostream* notes,
                    const RunProgress* run = nullptr, int file_number = 0);

    // The frames of CD audio the conversion will reach, when known: the
    // progress line on a terminal then shows its percent and time left.
    void set_length(std::optional<std::uint64_t> frames) { length_ = frames; }

    // "x91: <file>: <text>" on the notes stream: what the user should know
    // of a conversion that is no problem.
    void note(const std::string& file, const std::string& text);
    // The quality line of a quality found for a bit rate.
    void quality(double percent);

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
    ProgressFigures figures() const;

    std::ostream* out_;
    bool terminal_;
    std::ostream* notes_ = nullptr;
    const RunProgress* run_ = nullptr;
    int file_number_ = 0;
    std::optional<std::uint64_t> length_;
    std::chrono::steady_clock::time_point start_{};  // of begin()
    std::int64_t time_count_ = 0;
    std::int64_t byte_count_ = 0;
    bool drawn_ = true;  // the line on the screen shows the latest counts
    std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace x91::cli
