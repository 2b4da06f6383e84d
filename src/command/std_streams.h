// Standard input, output and error as the command found them at its start.
#pragma once

namespace x91::cli {

// Opens /dev/null on each of the three standard descriptors that a parent
// left closed (cron, daemons, "x91 a.wav >&-"), before any file is opened:
// otherwise the next file opened takes that number, and progress text lands
// in an output or a file is read as standard input.
void reopen_closed_std_streams();

// True when descriptor fd (0, 1 or 2) was closed at the start: what the
// command would read or write there goes nowhere.
bool was_closed_at_start(int fd);

}  // namespace x91::cli
