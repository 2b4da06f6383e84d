#include "command/quality_file.h"

#include <cmath>
#include <fstream>
#include <ostream>

namespace x91::cli {

float read_quality_file(const std::string& path) {
    std::ifstream file(path);
    float q = 0.0f;
    if (file) file >> q;
    // A failed extraction stores 0 already; NaN cannot come from it but must
    // never pass as a quality either.
    return std::isnan(q) ? 0.0f : q;
}

void print_quality_line(std::ostream& out, float q) {
    out << "Encoding Quality : " << q << " %" << '\n' << '\n';
}

float use_quality_file(const std::string& path, da_ISettings& settings, std::ostream& out,
                       std::ostream& err) {
    const float q = read_quality_file(path);
    if (!(q > 0.0f)) return 0.0f;
    if (!quality_in_range(q)) {
        err << "x91: " << path << ": quality " << q << " outside " << QUALITY_MIN << " to "
            << QUALITY_MAX << ", using the default\n";
        return 0.0f;
    }
    settings = apply_quality(settings, q);
    print_quality_line(out, q);
    return q;
}

}  // namespace x91::cli
