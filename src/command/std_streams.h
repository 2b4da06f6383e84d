// Standard input, output and error as the command found them at its start.
#pragma once

#include <iosfwd>
#include <string>

namespace x91::cli {

// Opens /dev/null on each of the three standard descriptors that a parent
// left closed (cron, daemons, "x91 a.wav >&-"), before any file is opened:
// otherwise the next file opened takes that number, and progress text lands
// in an output or a file is read as standard input.
void reopen_closed_std_streams();

// True when descriptor fd (0, 1 or 2) was closed at the start: what the
// command would read or write there goes nowhere.
bool was_closed_at_start(int fd);

// Flushes what the command wrote to standard output (verdicts, usage,
// progress lines); false when any of it could not be written, now or
// before. The reason of the first such failure is kept: later writes to a
// failed stream do not even try.
bool flush_standard_output();
// Flushes out; for standard output as flush_standard_output() does, so
// that the reason of a failure is kept.
void flush_stream(std::ostream& out);
// "cannot write: <reason of that first failure>".
std::string standard_output_failure();

}  // namespace x91::cli
