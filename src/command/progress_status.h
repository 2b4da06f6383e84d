// The part of a progress line on a terminal that says how far a file and
// its run have come and how long they will take.
#pragma once

#include <optional>
#include <string>

namespace x91::cli {

struct ProgressFigures {
    double audio_seconds = 0;    // of the file, converted so far
    double elapsed_seconds = 0;  // since the file began
    // Of the file, 0 to 1, when its length is known.
    std::optional<double> fraction;
    // "file N of M", shown for M above 1.
    int file_number = 0;
    int file_count = 0;
    std::optional<double> run_seconds_left;
};

// "file 3 of 120  45%  0:12 left  23.5x  run 41:10 left  ": what is known
// of it, each part ending in two spaces; a file of unknown length (a pipe)
// shows no percent or time left, only its speed.
std::string progress_status(const ProgressFigures& figures);

// "0:07", "12:34", "1:02:03".
std::string duration_text(double seconds);

}  // namespace x91::cli
