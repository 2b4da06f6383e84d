#include "command/run_progress.h"

#include <sys/stat.h>

#include "command/file_names.h"

namespace x91::cli {

namespace {

std::int64_t input_bytes(const std::string& input) {
    struct stat info {};
    if (is_std_stream(input) || stat(input.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::int64_t>(info.st_size);
}

// Less than this of conversion says little of the run's speed.
constexpr double kLeastSecondsForSpeed = 0.5;

}  // namespace

RunProgress::RunProgress(const std::vector<std::string>& inputs)
    : file_count_(static_cast<int>(inputs.size())) {
    for (const std::string& input : inputs) bytes_left_ += input_bytes(input);
}

int RunProgress::begin_file(const std::string& input) {
    const std::lock_guard lock(mutex_);
    current_bytes_ = input_bytes(input);
    current_start_ = Clock::now();
    return ++started_;
}

int RunProgress::skip_file(const std::string& input) {
    const std::lock_guard lock(mutex_);
    bytes_left_ -= input_bytes(input);
    return ++started_;
}

void RunProgress::end_file() {
    const std::lock_guard lock(mutex_);
    seconds_spent_ += std::chrono::duration<double>(Clock::now() - current_start_).count();
    bytes_done_ += current_bytes_;
    bytes_left_ -= current_bytes_;
    current_bytes_ = 0;
}

std::optional<double> RunProgress::seconds_left(double fraction) const {
    const std::lock_guard lock(mutex_);
    const double now_spent =
        std::chrono::duration<double>(Clock::now() - current_start_).count() + seconds_spent_;
    const double done = static_cast<double>(bytes_done_) + fraction * current_bytes_;
    if (now_spent < kLeastSecondsForSpeed || done <= 0) return std::nullopt;
    const double left = static_cast<double>(bytes_left_) - fraction * current_bytes_;
    return left > 0 ? left * now_spent / done : 0.0;
}

}  // namespace x91::cli
