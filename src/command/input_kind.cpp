#include "command/input_kind.h"

#include "format/settings.h"

namespace x91::cli {

InputKind input_kind(const std::string& start) {
    if (start.rfind("RIFF", 0) == 0) return InputKind::wave;
    if (start.rfind(XFileExt, 0) == 0) return InputKind::x91;
    return InputKind::unknown;
}

std::string take_start(std::FILE* stream) {
    char bytes[4];
    const std::size_t got = std::fread(bytes, 1, sizeof bytes, stream);
    return std::string(bytes, got);
}

}  // namespace x91::cli
