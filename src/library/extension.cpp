// The extension block as the public interface offers it: tags as name and
// value, the block found at the end of a file, and its CRC checked.
#include "format/crc32.h"
#include "format/extension_block.h"
#include "library/tag_list.h"
#include "x91/x91.h"

namespace x91 {

static_assert(kExtensionFooterBytes == kExtensionFooterSize);
static_assert(kMaxExtensionBytes == kMaxExtensionSize);

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    return crc32_update(crc, data, size);
}

Result extension_size(const std::uint8_t* footer, std::uint64_t& block_bytes) {
    if (footer == nullptr) return {Status::invalid_argument, "no footer bytes"};
    return read_extension_footer(footer, block_bytes);
}

Result parse_extension(const std::uint8_t* block, std::size_t size, StreamInfo& info) {
    if (block == nullptr) return {Status::invalid_argument, "no block bytes"};
    ExtensionContent content;
    if (Result parsed = parse_extension_block(block, size, content); !parsed) return parsed;
    info.frames = content.frames;
    info.lead_in = content.lead_in;
    info.stream_crc = content.stream_crc;
    info.tags = tags_from_texts(content.tags);
    return {};
}

Result read_stream_info(const std::uint8_t* file, std::size_t size, StreamInfo& info) {
    if (file == nullptr || size < kHeaderBytes + 4 + kExtensionFooterBytes)
        return {Status::no_extension, ""};
    std::uint64_t block_bytes = 0;
    if (Result found = extension_size(file + size - kExtensionFooterBytes, block_bytes); !found)
        return found;
    if (block_bytes > size - kHeaderBytes - 4)
        return {Status::extension_damaged, "extension block damaged: longer than the file"};
    const std::size_t start = size - static_cast<std::size_t>(block_bytes);
    StreamInfo read;
    if (Result parsed = parse_extension(file + start, size - start, read); !parsed) return parsed;
    const bool intact = crc32(file, start) == read.stream_crc;
    info = std::move(read);
    if (!intact) return {Status::checksum_mismatch, "checksum mismatch"};
    return {};
}

}  // namespace x91
