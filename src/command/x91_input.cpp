#include "command/x91_input.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include "command/io_failure.h"
#include "format/crc32.h"
#include "format/packet_framing.h"
#include "format/settings_io.h"

namespace x91::cli {

int X91Input::CrcInput::read(char* buf, int n) {
    const int got = reader_.read(buf, n);
    const std::int64_t counted =
        std::min<std::int64_t>(got, std::max<std::int64_t>(0, crc_end_ - offset_));
    crc_ = crc32_update(crc_, reinterpret_cast<const unsigned char*>(buf),
                        static_cast<std::size_t>(counted));
    offset_ += got;
    return got;
}

X91Input::X91Input(const Source& in) {
    if (in.stream != nullptr) {
        spool_status_ = spool(in);
        reader_ = std::make_unique<FileReader>(spooled_);
    } else {
        reader_ = std::make_unique<FileReader>(in.name.c_str());
    }
    input_.emplace(*reader_);
}

X91Input::~X91Input() {
    reader_.reset();
    if (spooled_ != nullptr) std::fclose(spooled_);
}

Result X91Input::spool(const Source& in) {
    spooled_ = std::tmpfile();
    if (spooled_ == nullptr)
        return io_failure(Status::read_failed, "cannot keep a temporary copy", errno);
    std::string chunk = in.taken;
    chunk.resize(std::max<std::size_t>(chunk.size(), 1 << 16));
    std::size_t got = in.taken.size();
    for (;;) {
        if (std::fwrite(chunk.data(), 1, got, spooled_) != got)
            return io_failure(Status::read_failed, "cannot keep a temporary copy", errno);
        got = std::fread(chunk.data(), 1, chunk.size(), in.stream);
        if (got == 0) break;
    }
    if (std::ferror(in.stream)) return io_failure(Status::read_failed, "read failed", errno);
    if (std::fflush(spooled_) != 0 || std::fseek(spooled_, 0, SEEK_SET) != 0)
        return io_failure(Status::read_failed, "cannot keep a temporary copy", errno);
    return {};
}

Result X91Input::read_failure() const {
    return io_failure(Status::read_failed, "read failed", reader_->error());
}

Result X91Input::open() {
    if (!spool_status_) return spool_status_;
    if (!*reader_) return io_failure(Status::read_failed, "cannot open", reader_->error());
    extension_ = find_extension();
    if (extension_.status == Status::read_failed) return extension_;
    if (Result read = read_x91_header(*input_, settings_); !read)
        return reader_->error() != 0 ? read_failure() : read;
    // Each count is checked against what the file still holds.
    const std::int64_t bytes_left = reader_->size() - reader_->possition();
    packets_.emplace(*input_, bytes_left);
    return {};
}

// Every input is a file by now, a stream's copy included, so the block is
// found from the end before the header is read.
Result X91Input::find_extension() {
    const std::int64_t size = reader_->size();
    if (size < 0) return read_failure();
    constexpr auto kFooter = static_cast<std::int64_t>(kExtensionFooterSize);
    constexpr std::int64_t kBeforeBlock = X91_HEADER_BYTES + 4;  // header and end marker
    if (size < kBeforeBlock + kFooter) return {Status::no_extension, ""};
    unsigned char footer[kExtensionFooterSize];
    reader_->seek(size - kFooter);
    if (reader_->read(reinterpret_cast<char*>(footer), kFooter) != kFooter) return read_failure();
    std::uint64_t block_bytes = 0;
    Result found = read_extension_footer(footer, block_bytes);
    if (found && static_cast<std::int64_t>(block_bytes) > size - kBeforeBlock)
        found = {Status::extension_damaged, "extension block: longer than the file"};
    if (found) {
        std::vector<unsigned char> block(block_bytes);
        const auto n = static_cast<int>(block_bytes);
        reader_->seek(size - n);
        if (reader_->read(reinterpret_cast<char*>(block.data()), n) != n) return read_failure();
        found = parse_extension_block(block.data(), block.size(), content_);
        if (found) block_start_ = size - n;
    }
    if (reader_->seek(0) != 0) return read_failure();
    if (block_start_ >= 0) input_->end_crc_at(block_start_);
    return found;
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
    unsigned char head[4];
    const int got = input_->read(reinterpret_cast<char*>(head), 4);
    const std::int64_t trailing = got + reader_->skip(INT64_MAX);
    if (reader_->error() != 0) return read_failure();
    if (starts_extension_block(head, static_cast<std::size_t>(got)))
        return {Status::extension_damaged, "checksum mismatch in the extension block"};
    if (trailing > 0)
        return {Status::trailing_bytes, std::to_string(trailing) + " bytes follow the end marker"};
    return {};
}

Result X91Input::check_stream_crc() {
    const std::int64_t walked = input_->offset();
    char scratch[4096];
    while (input_->offset() < block_start_) {
        const auto step = static_cast<int>(
            std::min<std::int64_t>(block_start_ - input_->offset(), sizeof scratch));
        if (input_->read(scratch, step) != step) return read_failure();
    }
    if (input_->crc() != content_.stream_crc)
        return {Status::checksum_mismatch, "checksum mismatch"};
    if (walked != block_start_)
        return {Status::trailing_bytes,
                "the end marker does not stand right before the "
                "extension block"};
    return {};
}

}  // namespace x91::cli
