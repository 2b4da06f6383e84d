#include "command/x91_input.h"

#include <string>

#include "command/io_failure.h"
#include "format/packet_framing.h"
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

std::optional<std::int64_t> X91Input::packets_ahead() {
    if (!reader_->seekable()) return std::nullopt;
    const std::int64_t first = reader_->possition();
    const std::int64_t size = reader_->size();
    std::int64_t packets = 0;
    std::int32_t count = 0;
    // Seeks from count to count; the walk ends where a decode would stop:
    // at the end marker, or at a count the file cannot hold.
    for (std::int64_t at = first; at + kPacketCountBytes <= size; at += kPacketCountBytes + count) {
        if (reader_->seek(at) != at || !read_packet_count(*reader_, count) || count <= 0 ||
            count > size - at - kPacketCountBytes)
            break;
        ++packets;
    }
    // A failed seek back leaves the reader failed, and the decode reports it.
    static_cast<void>(reader_->seek(first));
    return packets;
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
