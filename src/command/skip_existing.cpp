#include "command/skip_existing.h"

#include <sys/stat.h>

namespace x91::cli {

bool output_up_to_date(const std::string& input, const std::string& output) {
    struct stat in {
    }, out{};
    if (stat(input.c_str(), &in) != 0 || stat(output.c_str(), &out) != 0) return false;
    if (out.st_mtim.tv_sec != in.st_mtim.tv_sec) return out.st_mtim.tv_sec > in.st_mtim.tv_sec;
    return out.st_mtim.tv_nsec >= in.st_mtim.tv_nsec;
}

}  // namespace x91::cli
