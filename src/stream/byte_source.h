// Where a stream's bytes come from when a decode pulls them: a file, memory,
// or a caller's read callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace x91 {

class ByteSource {
  public:
    virtual ~ByteSource() = default;

    // Up to size bytes into buffer: how many were read, 0 at the end of the
    // data, or a negative number when reading failed.
    virtual std::int64_t read(std::uint8_t* buffer, std::size_t size) = 0;

    // The data's size in bytes, for data that can be read at will; nothing
    // for a stream read in one pass.
    virtual std::optional<std::uint64_t> size() = 0;

    // Moves to byte `offset` of the data (counted from its first byte);
    // false when that fails. Only called when size() tells a size.
    virtual bool seek(std::uint64_t offset) = 0;
};

// Reads exactly size bytes, as many calls as it takes: false when the data
// ends first or reading fails (failed then tells which).
bool read_fully(ByteSource& source, std::uint8_t* buffer, std::size_t size, bool& failed);

}  // namespace x91
