#include "command/x91_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "command/io_failure.h"

namespace x91::cli {

X91Reader::X91Reader(const Source& in)
    : name_(in.stream ? "" : in.name), file_(in.stream), taken_(in.taken) {
    io_.read = &X91Reader::read;
    // A stream is read once; only a named file can be read at will.
    if (in.stream == nullptr) {
        io_.seek = &X91Reader::seek;
        io_.tell = &X91Reader::tell;
    }
}

X91Reader::~X91Reader() {
    if (owns_file_) std::fclose(file_);
}

Result X91Reader::open() {
    if (file_ != nullptr) return {};
    file_ = std::fopen(name_.c_str(), "rb");
    if (file_ == nullptr) return io_failure(Status::read_failed, "cannot open", errno);
    owns_file_ = true;
    struct stat about {};
    if (fstat(fileno(file_), &about) == 0 && S_ISDIR(about.st_mode))
        return io_failure(Status::read_failed, "cannot open", EISDIR);
    return {};
}

Result X91Reader::read_failure() const {
    return io_failure(Status::read_failed, "read failed", error_);
}

std::int64_t X91Reader::read(void* user, std::uint8_t* buffer, std::size_t size) {
    auto& self = *static_cast<X91Reader*>(user);
    if (self.taken_at_ < self.taken_.size()) {
        const std::size_t n = std::min(size, self.taken_.size() - self.taken_at_);
        std::memcpy(buffer, self.taken_.data() + self.taken_at_, n);
        self.taken_at_ += n;
        return static_cast<std::int64_t>(n);
    }
    const std::size_t got = std::fread(buffer, 1, size, self.file_);
    if (got == 0 && std::ferror(self.file_)) {
        self.error_ = errno;
        return -1;
    }
    return static_cast<std::int64_t>(got);
}

int X91Reader::seek(void* user, std::int64_t offset, int whence) {
    auto& self = *static_cast<X91Reader*>(user);
    if (fseeko(self.file_, static_cast<off_t>(offset), whence) == 0) return 0;
    self.error_ = errno;
    return -1;
}

std::int64_t X91Reader::tell(void* user) {
    auto& self = *static_cast<X91Reader*>(user);
    return static_cast<std::int64_t>(ftello(self.file_));
}

}  // namespace x91::cli
