#include "format/extension_block.h"

#include <cstring>
#include <optional>

#include "format/crc32.h"
#include "format/tag_text.h"

namespace x91 {

namespace {

constexpr unsigned char kHeadMagic[4] = {'X', '9', '1', 'E'};
constexpr unsigned char kFooterMagic[4] = {'X', '9', '1', 'T'};
constexpr std::size_t kFieldHeadBytes = 8;
constexpr std::size_t kSmallestBlock = kExtensionHeadSize + kExtensionFooterBytes;

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t le64(const unsigned char* p) {
    return static_cast<std::uint64_t>(le32(p)) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put64(std::vector<unsigned char>& out, std::uint64_t v) {
    put32(out, static_cast<std::uint32_t>(v));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}

void put_field(std::vector<unsigned char>& out, ExtensionField id, const unsigned char* body,
               std::size_t size) {
    put32(out, static_cast<std::uint32_t>(id));
    put32(out, static_cast<std::uint32_t>(size));
    out.insert(out.end(), body, body + size);
}

Result damaged(const std::string& what) {
    return {Status::extension_damaged, "extension block: " + what};
}

// The fields between head and footer, each read into out; ok only when they
// fill that space exactly and each known field is there once, in its size.
Result parse_fields(const unsigned char* at, std::size_t size, ExtensionContent& out) {
    std::optional<std::uint64_t> frames;
    std::optional<std::uint32_t> lead_in;
    std::optional<std::uint32_t> stream_crc;
    std::vector<std::string> tags;
    std::size_t pos = 0;
    while (pos < size) {
        if (size - pos < kFieldHeadBytes) return damaged("a field is cut short");
        const std::uint32_t id = le32(at + pos);
        const std::uint32_t length = le32(at + pos + 4);
        pos += kFieldHeadBytes;
        if (length > size - pos) return damaged("field " + std::to_string(id) + " is cut short");
        const unsigned char* body = at + pos;
        pos += length;
        auto once = [&](auto& slot, std::size_t width, auto value) -> Result {
            if (slot) return damaged("field " + std::to_string(id) + " twice");
            if (length != width)
                return damaged("field " + std::to_string(id) + " of the wrong size");
            slot = value;
            return {};
        };
        Result read;
        switch (static_cast<ExtensionField>(id)) {
            case ExtensionField::frames:
                read = once(frames, 8, length == 8 ? le64(body) : 0);
                break;
            case ExtensionField::lead_in:
                read = once(lead_in, 4, length == 4 ? le32(body) : 0);
                break;
            case ExtensionField::stream_crc:
                read = once(stream_crc, 4, length == 4 ? le32(body) : 0);
                break;
            case ExtensionField::tag: {
                std::string tag(reinterpret_cast<const char*>(body), length);
                if (!valid_tag(tag)) return damaged("a tag that is not NAME=VALUE in UTF-8");
                tags.push_back(std::move(tag));
                break;
            }
            default:  // a field of a later writer: skipped
                break;
        }
        if (!read) return read;
    }
    if (!frames || !lead_in || !stream_crc) return damaged("a required field is missing");
    out.frames = *frames;
    out.lead_in = *lead_in;
    out.stream_crc = *stream_crc;
    out.tags = std::move(tags);
    return {};
}

}  // namespace

std::vector<unsigned char> extension_block_image(const ExtensionContent& content) {
    std::vector<unsigned char> block(kHeadMagic, kHeadMagic + 4);
    put32(block, kExtensionVersion);
    put32(block, 0);  // the length, known at the end

    std::vector<unsigned char> value;
    put64(value, content.frames);
    put_field(block, ExtensionField::frames, value.data(), value.size());
    value.clear();
    put32(value, content.lead_in);
    put_field(block, ExtensionField::lead_in, value.data(), value.size());
    for (const std::string& tag : content.tags)
        put_field(block, ExtensionField::tag, reinterpret_cast<const unsigned char*>(tag.data()),
                  tag.size());
    value.clear();
    put32(value, content.stream_crc);
    put_field(block, ExtensionField::stream_crc, value.data(), value.size());

    const auto length = static_cast<std::uint32_t>(block.size() + kExtensionFooterBytes);
    for (int i = 0; i < 4; ++i) block[8 + i] = static_cast<unsigned char>(length >> (8 * i));
    block.insert(block.end(), kFooterMagic, kFooterMagic + 4);
    put32(block, length);
    put32(block, crc32_update(0, block.data(), block.size()));
    return block;
}

bool starts_extension_block(const unsigned char* bytes, std::size_t n) {
    return n >= 4 && std::memcmp(bytes, kHeadMagic, 4) == 0;
}

Result read_extension_footer(const unsigned char* footer, std::uint64_t& block_bytes) {
    if (std::memcmp(footer, kFooterMagic, 4) != 0) return {Status::no_extension, ""};
    const std::uint32_t length = le32(footer + 4);
    if (length < kSmallestBlock || length > kMaxExtensionBytes)
        return damaged("a block length of " + std::to_string(length));
    block_bytes = length;
    return {};
}

Result parse_extension_block(const unsigned char* block, std::size_t size, ExtensionContent& out) {
    if (size < kSmallestBlock || size > kMaxExtensionBytes)
        return damaged(std::to_string(size) + " bytes are no block");
    // The CRC first: whatever byte changed, it is what tells.
    if (crc32_update(0, block, size - 4) != le32(block + size - 4))
        return {Status::extension_damaged, "checksum mismatch in the extension block"};
    const unsigned char* footer = block + size - kExtensionFooterBytes;
    if (!starts_extension_block(block, size) || std::memcmp(footer, kFooterMagic, 4) != 0)
        return damaged("no head or footer");
    if (le32(block + 8) != size || le32(footer + 4) != size) return damaged("lengths disagree");
    if (const std::uint32_t version = le32(block + 4); version != kExtensionVersion)
        return {Status::extension_unknown,
                "extension block of version " + std::to_string(version) + ", not known here"};
    return parse_fields(block + kExtensionHeadSize, size - kSmallestBlock, out);
}

}  // namespace x91
