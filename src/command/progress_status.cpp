#include "command/progress_status.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace x91::cli {

std::string duration_text(double seconds) {
    const long long whole = std::llround(std::max(0.0, seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::string progress_status(const ProgressFigures& f) {
    std::string status;
    if (f.file_count > 1)
        status +=
            "file " + std::to_string(f.file_number) + " of " + std::to_string(f.file_count) + "  ";
    // Speed and time left follow once some audio is through: the redraws
    // are a tenth of a second apart, so a first guess is soon replaced.
    const bool timed = f.elapsed_seconds > 0 && f.audio_seconds > 0;
    if (f.fraction) {
        const double fraction = std::clamp(*f.fraction, 0.0, 1.0);
        status += std::to_string(static_cast<int>(fraction * 100.0)) + "%  ";
        if (timed && fraction > 0)
            status += duration_text(f.elapsed_seconds * (1.0 - fraction) / fraction) + " left  ";
    }
    if (timed) {
        char speed[32];
        std::snprintf(speed, sizeof speed, "%.1fx  ", f.audio_seconds / f.elapsed_seconds);
        status += speed;
    }
    if (f.file_count > 1 && f.run_seconds_left)
        status += "run " + duration_text(*f.run_seconds_left) + " left  ";
    return status;
}

}  // namespace x91::cli
