// A read-only byte stream over a buffer the fuzzer hands in, so the file
// parsers run on it exactly as on a file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "storage/storage_stream.h"

namespace x91 {

class MemoryInput final : public InputStream {
  public:
    MemoryInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    int read(char* buf, int n) override {
        if (n <= 0) return 0;
        const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(n), size_ - pos_);
        if (count > 0) std::memcpy(buf, data_ + pos_, count);
        pos_ += count;
        return static_cast<int>(count);
    }

    std::size_t position() const { return pos_; }
    std::size_t size() const { return size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace x91
