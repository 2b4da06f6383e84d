// Parses arbitrary bytes as an extension block, alone: its footer, its
// fields and its tags. Whatever the bytes, the parse must end in bounds;
// a block it accepts must hold only valid tags, survive the trip to name
// and value and back, and come out of the writer as a block that parses to
// the same content. The first byte picks whether the rest is taken as one
// block or as a file's tail that the footer must lead into, and whether its
// last four bytes are first made the CRC of the others, so that the fields
// behind a right CRC are reached, which the fuzzer could not guess.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "format/crc32.h"
#include "format/extension_block.h"
#include "format/tag_text.h"
#include "stream/stream_info.h"
#include "stream/tags.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// What a parse accepted, checked against the writer and the tag functions.
void check_accepted(const x91::ExtensionContent& content) {
    for (const std::string& tag : content.tags) check(x91::valid_tag(tag));
    std::vector<std::string> texts;
    check(x91::texts_from_tags(x91::tags_from_texts(content.tags), texts).ok());
    check(texts == content.tags);
    const std::vector<unsigned char> again = x91::extension_block_image(content);
    x91::ExtensionContent reparsed;
    check(x91::parse_extension_block(again.data(), again.size(), reparsed).ok());
    check(reparsed.frames == content.frames && reparsed.lead_in == content.lead_in &&
          reparsed.stream_crc == content.stream_crc && reparsed.tags == content.tags);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool as_tail = data[0] & 1;
    std::vector<std::uint8_t> copy(data + 1, data + size);
    const std::size_t n = copy.size();
    if ((data[0] & 2) && n >= 4) {
        const std::uint32_t crc = x91::crc32_update(0, copy.data(), n - 4);
        for (int i = 0; i < 4; ++i) copy[n - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    const std::uint8_t* bytes = copy.data();
    if (!as_tail) {
        x91::ExtensionContent content;
        const x91::Result parsed = x91::parse_extension_block(bytes, n, content);
        check(parsed.ok() || !parsed.message.empty());
        if (parsed) check_accepted(content);
        return 0;
    }
    // A file of a header and an end marker at the least before the tail.
    std::uint64_t block_bytes = 0;
    x91::StreamInfo info;
    const x91::Result found = x91::find_extension(bytes, n, n + 66, block_bytes, info);
    if (!found) return 0;
    check(block_bytes <= n);
    x91::ExtensionContent content;
    check(x91::parse_extension_block(bytes + n - block_bytes, block_bytes, content).ok());
    check(content.frames == info.frames && content.lead_in == info.lead_in);
    check_accepted(content);
    return 0;
}
