// An in-memory storage for tests: readable, writable, seekable, with the same
// sticky failure as the file streams. Positions far beyond the stored bytes
// are allowed, so size fix-ups of huge chunks can be tried without huge files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "storage/storage_stream.h"

namespace x91 {

class MemoryStorage final : public StorageReader, public StorageWriter {
  public:
    MemoryStorage() = default;
    explicit MemoryStorage(std::vector<std::uint8_t> initial) : bytes(std::move(initial)) {}

    int read(char* buf, int n) override {
        if (failed) return 0;
        const std::int64_t stored = static_cast<std::int64_t>(bytes.size());
        const int k = static_cast<int>(std::clamp<std::int64_t>(stored - pos, 0, n));
        if (k > 0) std::memcpy(buf, bytes.data() + pos, static_cast<std::size_t>(k));
        pos += k;
        if (k < n) failed = true;
        return k;
    }

    int write(const char* buf, int n) override {
        if (failed) return 0;
        const auto end = static_cast<std::size_t>(pos + n);
        if (bytes.size() < end) bytes.resize(end);
        std::memcpy(bytes.data() + pos, buf, static_cast<std::size_t>(n));
        pos += n;
        return n;
    }

    std::int64_t possition() override { return failed ? -1 : pos; }

    std::int64_t seek(std::int64_t p) override {
        if (failed || p < 0) {
            failed = true;
            return -1;
        }
        pos = p;
        return pos;
    }

    std::int64_t size() override {
        return failed ? -1 : std::max<std::int64_t>(pos, static_cast<std::int64_t>(bytes.size()));
    }

    std::vector<std::uint8_t> bytes;
    std::int64_t pos = 0;
    bool failed = false;
};

}  // namespace x91
