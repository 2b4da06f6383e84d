#include "api/byte_sources.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace x91 {

CallbackSource::CallbackSource(const x91_io& io, void* user) : io_(io), user_(user) {
    if (io_.seek == nullptr || io_.tell == nullptr) return;
    start_ = io_.tell(user_);
    if (start_ < 0) return;
    std::int64_t end = io_.length ? io_.length(user_) : -1;
    if (end < 0) {
        // The end is where a seek to it lands; back to the start after.
        if (io_.seek(user_, 0, SEEK_END) != 0) return;
        end = io_.tell(user_);
        if (io_.seek(user_, start_, SEEK_SET) != 0) return;
    }
    if (end >= start_) size_ = static_cast<std::uint64_t>(end - start_);
}

std::int64_t CallbackSource::read(std::uint8_t* buffer, std::size_t size) {
    const std::int64_t got = io_.read(user_, buffer, size);
    return got > static_cast<std::int64_t>(size) ? -1 : got;
}

bool CallbackSource::seek(std::uint64_t offset) {
    if (!size_ || offset > *size_) return false;
    return io_.seek(user_, start_ + static_cast<std::int64_t>(offset), SEEK_SET) == 0;
}

std::int64_t MemorySource::read(std::uint8_t* buffer, std::size_t size) {
    const std::size_t n = std::min(size, bytes_.size() - at_);
    if (n > 0) std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<std::int64_t>(n);
}

bool MemorySource::seek(std::uint64_t offset) {
    if (offset > bytes_.size()) return false;
    at_ = static_cast<std::size_t>(offset);
    return true;
}

}  // namespace x91
