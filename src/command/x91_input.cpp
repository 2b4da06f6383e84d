#include "command/x91_input.h"

#include <string>

#include "command/io_failure.h"
#include "format/settings_io.h"

namespace x91::cli {

X91Input::X91Input(const Source& in)
    : reader_(in.stream != nullptr ? std::make_unique<FileReader>(in.stream, in.taken.data(),
                                                                  static_cast<int>(in.taken.size()))
                                   : std::make_unique<FileReader>(in.name.c_str())) {}

Result X91Input::read_failure() const {
    return io_failure(Status::read_failed, "read failed", reader_->error());
}

Result X91Input::open() {
    if (!*reader_) return io_failure(Status::read_failed, "cannot open", reader_->error());
    if (Result read = read_x91_header(*reader_, settings_); !read)
        return reader_->error() != 0 ? read_failure() : read;
    // Each count is checked against what the file still holds; a stream has
    // no size to check against, but the bound on a packet's size still holds.
    const std::int64_t bytes_left =
        reader_->seekable() ? reader_->size() - reader_->possition() : kUnknownLength;
    packets_.emplace(*reader_, bytes_left);
    return {};
}

Result X91Input::next(std::vector<std::uint8_t>& packet) {
    Result next = packets_->next(packet);
    if (!next && reader_->error() != 0) return read_failure();
    return next;
}

Result X91Input::nothing_follows() {
    const std::int64_t trailing = reader_->skip(INT64_MAX);
    if (reader_->error() != 0) return read_failure();
    if (trailing > 0)
        return {Status::trailing_bytes, std::to_string(trailing) + " bytes follow the end marker"};
    return {};
}

}  // namespace x91::cli
