// How far a run of several files has come, for "file N of M" and the time
// the whole run has left.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace x91::cli {

class RunProgress {
  public:
    // The inputs the run converts; their sizes weigh what is left of it
    // (a stream weighs nothing).
    explicit RunProgress(const std::vector<std::string>& inputs);

    int file_count() const { return file_count_; }

    // A file starts, or is skipped; its number in the run, from 1.
    int begin_file(const std::string& input);
    int skip_file(const std::string& input);
    // The file begun last has ended.
    void end_file();

    // The run's time left, from its speed so far in bytes of input per
    // second, with the current file `fraction` done; none until a second of
    // conversion makes that speed worth telling.
    std::optional<double> seconds_left(double fraction) const;

  private:
    using Clock = std::chrono::steady_clock;

    mutable std::mutex mutex_;
    int file_count_ = 0;
    int started_ = 0;
    std::int64_t bytes_left_ = 0;  // of the files not ended, the current one included
    std::int64_t bytes_done_ = 0;
    double seconds_spent_ = 0;  // converting the files ended
    std::int64_t current_bytes_ = 0;
    Clock::time_point current_start_{};
};

}  // namespace x91::cli
