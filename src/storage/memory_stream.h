// A byte stream in memory, seekable like a file: over bytes it owns, which it
// reads and writes, or over bytes a caller keeps, which it only reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "storage/storage_stream.h"

namespace x91 {

// Failure is sticky as in the file streams: after a short read, a write to
// borrowed bytes or a seek to a negative position, every position reads -1
// and further transfers move nothing. A position may lie beyond the bytes
// held: reading there fails, writing there first fills the gap with zeros.
class MemoryStream final : public StorageReader, public StorageWriter {
  public:
    // No bytes yet.
    MemoryStream() = default;
    // Owns bytes, positioned at their start.
    explicit MemoryStream(std::vector<std::uint8_t> bytes);
    // Reads size bytes at data, which must outlive the stream, without
    // copying them; writing fails.
    MemoryStream(const std::uint8_t* data, std::size_t size);

    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    int read(char* buf, int n) override;
    int write(const char* buf, int n) override;
    std::int64_t possition() override;
    std::int64_t seek(std::int64_t pos) override;
    // The bytes held, or the position if it lies beyond them.
    std::int64_t size() override;

    bool failed() const { return failed_; }

    // The bytes owned (empty over borrowed bytes).
    const std::vector<std::uint8_t>& bytes() const { return owned_; }
    std::vector<std::uint8_t> take_bytes() && { return std::move(owned_); }

  private:
    const std::uint8_t* data() const { return borrowed_ ? borrowed_data_ : owned_.data(); }
    std::size_t held() const { return borrowed_ ? borrowed_size_ : owned_.size(); }

    std::vector<std::uint8_t> owned_;
    bool borrowed_ = false;
    const std::uint8_t* borrowed_data_ = nullptr;
    std::size_t borrowed_size_ = 0;
    std::int64_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace x91
