#include "command/progress_line.h"

#include <ostream>

namespace x91::cli {

void print_progress_line(std::ostream& out, std::int64_t time_count, std::int64_t byte_count) {
    const double bitrate =
        static_cast<double>(byte_count) * 8.0 * 50.0 / static_cast<double>(time_count);
    out << time_count / 50 << " seconds "
        << " [ avg bitrate : " << static_cast<std::int64_t>(bitrate) << " bits/sec ]  " << '\r';
}

}  // namespace x91::cli
