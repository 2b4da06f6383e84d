#include "storage/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace x91 {

MemoryStream::MemoryStream(std::vector<std::uint8_t> bytes) : owned_(std::move(bytes)) {}

// No bytes can be read through a null pointer, whatever size comes with it.
MemoryStream::MemoryStream(const std::uint8_t* data, std::size_t size)
    : borrowed_(true), borrowed_data_(data), borrowed_size_(data ? size : 0) {}

int MemoryStream::read(char* buf, int n) {
    if (failed_ || n < 0) {
        failed_ = true;
        return 0;
    }
    const auto stored = static_cast<std::int64_t>(held());
    const int count = static_cast<int>(std::clamp<std::int64_t>(stored - pos_, 0, n));
    if (count > 0) std::memcpy(buf, data() + pos_, static_cast<std::size_t>(count));
    pos_ += count;
    if (count < n) failed_ = true;
    return count;
}

int MemoryStream::write(const char* buf, int n) {
    if (failed_ || borrowed_ || n < 0) {
        failed_ = true;
        return 0;
    }
    const auto end = static_cast<std::size_t>(pos_ + n);
    if (owned_.size() < end) owned_.resize(end);
    if (n > 0) std::memcpy(owned_.data() + pos_, buf, static_cast<std::size_t>(n));
    pos_ += n;
    return n;
}

std::int64_t MemoryStream::possition() {
    return failed_ ? -1 : pos_;
}

std::int64_t MemoryStream::seek(std::int64_t pos) {
    if (failed_ || pos < 0) {
        failed_ = true;
        return -1;
    }
    pos_ = pos;
    return pos_;
}

std::int64_t MemoryStream::size() {
    return failed_ ? -1 : std::max<std::int64_t>(pos_, static_cast<std::int64_t>(held()));
}

}  // namespace x91
