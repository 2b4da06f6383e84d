#include "command/progress_display.h"

#include <ostream>

#include "command/progress_line.h"
#include "command/std_streams.h"

namespace x91::cli {

namespace {

// Faster redraws are more than an eye can follow and cost a terminal time.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressDisplay::ProgressDisplay(std::ostream* out, bool terminal)
    : out_(out), terminal_(terminal) {}

void ProgressDisplay::begin(const char* verb, const std::string& in, const std::string& out) {
    if (!out_) return;
    *out_ << verb << " : '" << in << "' to : '" << out << "'\n";
    flush_stream(*out_);
}

void ProgressDisplay::update(std::int64_t time_count, std::int64_t byte_count) {
    time_count_ = time_count;
    byte_count_ = byte_count;
    drawn_ = false;
    if (!out_ || !terminal_) return;
    const auto now = std::chrono::steady_clock::now();
    if (last_draw_ != std::chrono::steady_clock::time_point{} && now - last_draw_ < kRedrawInterval)
        return;
    last_draw_ = now;
    draw();
}

void ProgressDisplay::draw() {
    print_progress_line(*out_, time_count_, byte_count_);
    flush_stream(*out_);
    drawn_ = true;
}

void ProgressDisplay::end(bool done) {
    if (!out_) return;
    if (!drawn_) draw();
    *out_ << '\n';
    if (done) *out_ << "done." << '\n';
    flush_stream(*out_);
}

}  // namespace x91::cli
