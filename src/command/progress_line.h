// The progress line both conversions redraw after every block or packet.
#pragma once

#include <cstdint>
#include <iosfwd>

namespace x91::cli {

// time_count is in blocks of 1/50 s; byte_count counts packet bytes only.
// Ends in a carriage return so that the next line overwrites it.
void print_progress_line(std::ostream& out, std::int64_t time_count, std::int64_t byte_count);

}  // namespace x91::cli
