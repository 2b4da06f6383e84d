// What the extension block behind an x91 file's end marker tells: the
// input's exact length, the lead-in to cut, the tags and the CRC-32 of every
// byte before the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stream/tags.h"
#include "x91/status.h"

namespace x91 {

struct StreamInfo {
    std::uint64_t frames = 0;   // sample frames of the input: an exact decode's length
    std::uint32_t lead_in = 0;  // decoded frames before the first input frame (882)
    std::vector<Tag> tags;
    std::uint32_t stream_crc = 0;  // CRC-32 of every byte of the file before the block
};

// footer: the last kExtensionFooterBytes bytes of an x91 file. ok with the
// size of the extension block that ends the file (footer included);
// no_extension when the file has none; extension_damaged for a size no
// block can have.
Result extension_size(const std::uint8_t* footer, std::uint64_t& block_bytes);

// block: the last block_bytes bytes of the file. ok with info filled;
// extension_unknown for a block of a later version, extension_damaged for
// one whose own CRC or fields are wrong. info is left as it was unless ok.
Result parse_extension(const std::uint8_t* block, std::size_t size, StreamInfo& info);

// The block of an ended stream, from its last bytes: `tail` holds the last
// tail_size bytes of a file of file_size bytes. ok with the block's size in
// block_bytes and info filled; no_extension; extension_damaged (also for a
// block longer than the tail, or than a file holding a header and an end
// marker before it can give room for); extension_unknown.
Result find_extension(const std::uint8_t* tail, std::size_t tail_size, std::uint64_t file_size,
                      std::uint64_t& block_bytes, StreamInfo& info);

}  // namespace x91
