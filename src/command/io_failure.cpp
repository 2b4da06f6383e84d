#include "command/io_failure.h"

#include <cstring>

namespace x91::cli {

Result io_failure(Status status, const std::string& what, int error) {
    const std::string reason = error != 0 ? std::strerror(error) : "input/output error";
    return {status, what + ": " + reason};
}

}  // namespace x91::cli
