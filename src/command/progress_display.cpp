#include "command/progress_display.h"

#include <ostream>

#include "command/cd_audio.h"
#include "command/progress_line.h"
#include "command/progress_status.h"
#include "command/quality_file.h"
#include "command/std_streams.h"

namespace x91::cli {

namespace {

// Faster redraws are more than an eye can follow and cost a terminal time.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressDisplay::ProgressDisplay(std::ostream* out, bool terminal)
    : out_(out), terminal_(terminal) {}

ProgressDisplay::ProgressDisplay(std::ostream* out, bool terminal, std::ostream* notes,
                                 const RunProgress* run, int file_number)
    : out_(out), terminal_(terminal), notes_(notes), run_(run), file_number_(file_number) {}

void ProgressDisplay::note(const std::string& file, const std::string& text) {
    if (!notes_) return;
    *notes_ << "x91: " << file << ": " << text << '\n';
    flush_stream(*notes_);
}

void ProgressDisplay::quality(double percent) {
    if (!out_) return;
    print_quality_line(*out_, static_cast<float>(percent));
    flush_stream(*out_);
}

void ProgressDisplay::begin(const char* verb, const std::string& in, const std::string& out) {
    start_ = std::chrono::steady_clock::now();
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

// A terminal gets how far the file and its run have come before the
// counts; a log keeps the counts alone, as it always had them.
ProgressFigures ProgressDisplay::figures() const {
    ProgressFigures f;
    f.audio_seconds = static_cast<double>(time_count_) / 50.0;
    f.elapsed_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (length_ && *length_ > 0)
        f.fraction =
            static_cast<double>(time_count_) * kBlockFrames / static_cast<double>(*length_);
    if (run_) {
        f.file_number = file_number_;
        f.file_count = run_->file_count();
        f.run_seconds_left = run_->seconds_left(f.fraction.value_or(0.0));
    }
    return f;
}

void ProgressDisplay::draw() {
    if (terminal_) *out_ << progress_status(figures());
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
