#include "command/quality_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <ostream>
#include <sstream>

namespace x91::cli {

namespace {

// Far more than any number with the white space before it; a larger file
// is read only this far, so no quality file can exhaust memory.
constexpr std::size_t kMaxQualityText = 64 * 1024;

// Opened without blocking and read only when it is a regular file: a FIFO
// in its place would wait for a writer forever, a device might never end.
std::string read_regular_file(const std::string& path, std::ostream& err) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return "";
    struct stat info {};
    std::string text;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        text.resize(kMaxQualityText);
        std::size_t held = 0;
        while (held < text.size()) {
            const ssize_t got = read(fd, text.data() + held, text.size() - held);
            if (got <= 0) break;
            held += static_cast<std::size_t>(got);
        }
        text.resize(held);
    } else {
        err << "x91: " << path << ": warning: not a regular file, ignored\n";
    }
    close(fd);
    return text;
}

}  // namespace

float read_quality_file(const std::string& path, std::ostream& err) {
    std::istringstream file(read_regular_file(path, err));
    float q = 0.0f;
    file >> q;
    // A failed extraction stores 0 already; NaN cannot come from it but must
    // never pass as a quality either.
    return std::isnan(q) ? 0.0f : q;
}

void print_quality_line(std::ostream& out, float q) {
    out << "Encoding Quality : " << q << " %" << '\n' << '\n';
}

bool quality_in_range(double q) {
    return q >= X91_QUALITY_MIN && q <= X91_QUALITY_MAX;
}

float use_quality_file(const std::string& path, std::ostream& out, std::ostream& err) {
    const float q = read_quality_file(path, err);
    if (!(q > 0.0f)) return 0.0f;
    if (!quality_in_range(q)) {
        err << "x91: " << path << ": quality " << q << " outside " << X91_QUALITY_MIN << " to "
            << X91_QUALITY_MAX << ", using the default\n";
        return 0.0f;
    }
    print_quality_line(out, q);
    return q;
}

}  // namespace x91::cli
