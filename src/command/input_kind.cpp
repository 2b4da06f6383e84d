#include "command/input_kind.h"

#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "command/io_failure.h"
#include "x91/x91.h"

namespace x91::cli {

InputKind input_kind(const std::string& start) {
    if (start.rfind("RIFF", 0) == 0) return InputKind::wave;
    // Whatever starts as an x91 header does, whole or not: the decoder then
    // tells what is wrong with it.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(start.data());
    if (x91_probe(bytes, start.size()) != X91_ERR_NOT_X91) return InputKind::x91;
    return InputKind::unknown;
}

std::string take_start(std::FILE* stream) {
    char bytes[4];
    const std::size_t got = std::fread(bytes, 1, sizeof bytes, stream);
    return std::string(bytes, got);
}

bool is_read_once(const std::string& name) {
    struct stat info {};
    return stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

Result open_by_content(const std::string& name, Source& source, InputKind& kind) {
    std::shared_ptr<std::FILE> file(std::fopen(name.c_str(), "rb"), [](std::FILE* f) {
        if (f != nullptr) std::fclose(f);
    });
    struct stat info {};
    if (!file) return io_failure(Status::read_failed, "cannot open", errno);
    if (fstat(fileno(file.get()), &info) != 0)
        return io_failure(Status::read_failed, "cannot open", errno);
    if (S_ISDIR(info.st_mode)) return io_failure(Status::read_failed, "cannot open", EISDIR);
    const std::string start = take_start(file.get());
    kind = input_kind(start);
    source = S_ISREG(info.st_mode) ? Source(name) : Source(name, file.get(), start);
    if (!S_ISREG(info.st_mode)) source.owned_stream = std::move(file);
    return {};
}

}  // namespace x91::cli
