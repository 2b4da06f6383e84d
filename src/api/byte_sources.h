// The byte sources the C interface's decoders read from: a caller's
// callbacks, and a file held in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "stream/byte_source.h"
#include "x91/x91.h"

namespace x91 {

// A caller's x91_io. It is read at will when it has seek and tell and they
// work at the open (a file); otherwise in one pass (a pipe). Offsets count
// from where the data stood at the open.
class CallbackSource final : public ByteSource {
  public:
    CallbackSource(const x91_io& io, void* user);

    std::int64_t read(std::uint8_t* buffer, std::size_t size) override;
    std::optional<std::uint64_t> size() override { return size_; }
    bool seek(std::uint64_t offset) override;

  private:
    x91_io io_;
    void* user_;
    std::int64_t start_ = 0;
    std::optional<std::uint64_t> size_;
};

// A whole file the source owns.
class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::int64_t read(std::uint8_t* buffer, std::size_t size) override;
    std::optional<std::uint64_t> size() override { return bytes_.size(); }
    bool seek(std::uint64_t offset) override;

  private:
    std::vector<std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

}  // namespace x91
