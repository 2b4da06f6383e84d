#include "stream/stream_info.h"

#include "format/extension_block.h"
#include "format/limits.h"

namespace x91 {

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

Result find_extension(const std::uint8_t* tail, std::size_t tail_size, std::uint64_t file_size,
                      std::uint64_t& block_bytes, StreamInfo& info) {
    // A block follows the header and the end marker at the least.
    constexpr std::uint64_t kBeforeBlock = kHeaderBytes + 4;
    if (tail_size < kExtensionFooterBytes || file_size < kBeforeBlock + kExtensionFooterBytes)
        return {Status::no_extension, ""};
    std::uint64_t bytes = 0;
    if (Result found = extension_size(tail + tail_size - kExtensionFooterBytes, bytes); !found)
        return found;
    if (bytes > file_size - kBeforeBlock || bytes > tail_size)
        return {Status::extension_damaged, "extension block: longer than the file"};
    const std::size_t start = tail_size - static_cast<std::size_t>(bytes);
    if (Result parsed = parse_extension(tail + start, tail_size - start, info); !parsed)
        return parsed;
    block_bytes = bytes;
    return {};
}

}  // namespace x91
