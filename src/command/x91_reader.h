// An x91 input as the library reads it, through its x91_io callbacks: a
// named regular file, which the library reads at will (its extension block
// first, from the end), or a stream read once from its start (standard
// input, a named pipe), whose first bytes were taken already to see what it
// holds and are delivered again first. Nothing is copied aside.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "command/source.h"
#include "x91/status.h"
#include "x91/x91.h"

namespace x91::cli {

class X91Reader {
  public:
    explicit X91Reader(const Source& in);
    ~X91Reader();
    X91Reader(const X91Reader&) = delete;
    X91Reader& operator=(const X91Reader&) = delete;

    // Opens a named file: ok, or read_failed "cannot open: <reason>".
    [[nodiscard]] Result open();

    const x91_io& io() const { return io_; }
    void* user() { return this; }

    // What the library's X91_ERR_READ_FAILED stands for: "read failed:
    // <reason>".
    Result read_failure() const;

  private:
    static std::int64_t read(void* user, std::uint8_t* buffer, std::size_t size);
    static int seek(void* user, std::int64_t offset, int whence);
    static std::int64_t tell(void* user);

    std::string name_;
    std::FILE* file_ = nullptr;  // the stream read
    bool owns_file_ = false;
    std::string taken_;  // delivered before the stream's own bytes
    std::size_t taken_at_ = 0;
    int error_ = 0;
    x91_io io_{};
};

}  // namespace x91::cli
