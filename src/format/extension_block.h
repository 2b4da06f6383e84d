// The extension block that may follow the end marker of an x91 file: the
// exact length of the input, the lead-in to cut, the tags, and a CRC-32 of
// every byte before the block. Decoders that stop at the end marker never
// see it, so a file with the block stays readable everywhere.
//
// Layout, all values little-endian:
//   head    "X91E", version (u32, 1), block length N (u32, head to footer)
//   fields  each an id (u32), a body length (u32) and the body
//   footer  "X91T", block length N again (u32), CRC-32 of every byte of the
//           block before it (u32)
// The footer has a fixed size and ends the file, so a reader finds the
// block with one seek from the end, without walking the packets. The CRC
// comes last so that it covers every other byte of the block. Unknown
// field ids are skipped: later versions of the writer can add fields
// without a new version number, which is kept for changes an old reader
// could not follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/limits.h"
#include "x91/status.h"

namespace x91 {

inline constexpr std::size_t kExtensionHeadSize = 12;
inline constexpr std::uint32_t kExtensionVersion = 1;
// No block is larger than kMaxExtensionBytes: tags are text, and a bound
// keeps a damaged length from making a reader allocate without end.

enum class ExtensionField : std::uint32_t {
    frames = 1,      // u64: sample frames of the input, what an exact decode gives
    lead_in = 2,     // u32: decoded frames before the first input frame
    tag = 3,         // UTF-8 "NAME=VALUE", one field per tag
    stream_crc = 4,  // u32: CRC-32 of every byte of the file before the block
};

struct ExtensionContent {
    std::uint64_t frames = 0;
    std::uint32_t lead_in = 0;
    std::vector<std::string> tags;  // each "NAME=VALUE"
    std::uint32_t stream_crc = 0;
};

// The block's bytes. The tags must be valid (format/tag_text.h); the caller
// keeps the whole block within kMaxExtensionBytes.
std::vector<unsigned char> extension_block_image(const ExtensionContent& content);

// True when bytes (at least 4 of them) start with the block's head magic.
bool starts_extension_block(const unsigned char* bytes, std::size_t n);

// Reads the footer, the last kExtensionFooterBytes of a file: ok with the
// whole block's length in block_bytes; no_extension when the footer's magic
// is not there; extension_damaged for a length no block can have.
[[nodiscard]] Result read_extension_footer(const unsigned char* footer, std::uint64_t& block_bytes);

// Parses a whole block and checks its own CRC and fields. ok with out
// filled; extension_unknown for another version (its CRC checked); or
// extension_damaged naming what is wrong: "checksum mismatch in the
// extension block" for any change the CRC sees, "extension block: <what>"
// for a block sealed with a wrong layout.
[[nodiscard]] Result parse_extension_block(const unsigned char* block, std::size_t size,
                                           ExtensionContent& out);

}  // namespace x91
