// A picture of the extension block (a front cover, ...), in the layout of
// FLAC's PICTURE block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace x91 {

// A picture as FLAC's PICTURE block holds it (and ID3's APIC frame nearly):
// the kind of picture (3 is the front cover), the MIME type, a UTF-8
// description, the size and colours where known (0 otherwise), the bytes.
struct Picture {
    std::uint32_t type = 3;
    std::string mime_type;
    std::string description;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t depth = 0;
    std::uint32_t colours = 0;  // of an indexed image; 0 for any other
    std::vector<unsigned char> data;
};

// The body of a picture field, big-endian as in FLAC, so that the bytes
// copy to and from a FLAC PICTURE block unchanged: type, MIME type length
// and text, description length and text, width, height, depth, colours,
// data length and data, each number a u32.
std::vector<unsigned char> picture_field_body(const Picture& picture);
// The bytes the field of this picture takes in a block, its head included.
std::size_t picture_field_bytes(const Picture& picture);
// false when the body is not one picture_field_body could have made.
bool parse_picture_field(const unsigned char* body, std::size_t size, Picture& out);

}  // namespace x91
