// RIFF building blocks: four-character ids, chunk headers, the PCM format
// record, their stream operators, and chunk size bookkeeping.
#pragma once

#include <cstdint>

#include "storage/storage_stream.h"

namespace x91 {

struct Id4 {
    char c[4] = {0, 0, 0, 0};

    constexpr Id4() = default;
    // Copies the first four characters of text.
    constexpr Id4(const char* text) : c{text[0], text[1], text[2], text[3]} {}

    friend constexpr bool operator==(const Id4& a, const Id4& b) {
        return a.c[0] == b.c[0] && a.c[1] == b.c[1] && a.c[2] == b.c[2] && a.c[3] == b.c[3];
    }
};

struct BlockHeader {
    Id4 id;
    std::uint32_t size = 0;  // data bytes that follow the 8-byte header

    constexpr BlockHeader() = default;
    constexpr BlockHeader(Id4 block_id, std::uint32_t block_size)
        : id(block_id), size(block_size) {}
};

// The 16-byte body of a "fmt " chunk, fields in file order.
struct da_PcmWaveFormat {
    std::uint16_t format_tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samples_per_second = 0;
    std::uint32_t bytes_per_second = 0;
    std::uint16_t block_align = 0;  // bytes per sample frame
    std::uint16_t bits_per_sample = 0;

    constexpr da_PcmWaveFormat() = default;
    // Each value is narrowed to its field's width.
    constexpr da_PcmWaveFormat(int tag, int channel_count, int rate, int byte_rate, int align,
                               int bits)
        : format_tag(static_cast<std::uint16_t>(tag)),
          channels(static_cast<std::uint16_t>(channel_count)),
          samples_per_second(static_cast<std::uint32_t>(rate)),
          bytes_per_second(static_cast<std::uint32_t>(byte_rate)),
          block_align(static_cast<std::uint16_t>(align)),
          bits_per_sample(static_cast<std::uint16_t>(bits)) {}

    friend constexpr bool operator==(const da_PcmWaveFormat&, const da_PcmWaveFormat&) = default;
};

inline constexpr Id4 ID4_RIFF{"RIFF"};
inline constexpr Id4 ID4_WAVE{"WAVE"};
inline constexpr Id4 ID4_FMT{"fmt "};
inline constexpr Id4 ID4_DATA{"data"};
// CD audio: PCM, 2 channels, 44100 frames/s, 16 bits per sample.
inline constexpr da_PcmWaveFormat FORMAT_CDDA{1, 2, 44100, 176400, 4, 16};

// Stream operators: <= writes, >= reads. Each is true when every byte moved
// and stops at the first failed transfer.
bool operator<=(OutputStream& out, Id4 id);
bool operator>=(InputStream& in, Id4& id);
bool operator<=(OutputStream& out, const BlockHeader& header);
bool operator>=(InputStream& in, BlockHeader& header);
bool operator<=(OutputStream& out, const da_PcmWaveFormat& format);
bool operator>=(InputStream& in, da_PcmWaveFormat& format);

// Chunk bookkeeping; positions are byte offsets in the file.
struct BlockInfo {
    Id4 id;
    std::int64_t start = 0;  // first data byte, just behind the 8-byte header
};

struct ReadBlockInfo : BlockInfo {
    std::uint32_t size = 0;  // size as read from the header
};

struct WriteBlockInfo : BlockInfo {
    std::int64_t header_position = 0;  // where the chunk's header begins
};

// Reads a chunk header at the current position. At the end of the storage
// the id and size are not meaningful: callers check the stream state.
ReadBlockInfo read_block_header(StorageReader& r);

// Writes a header with size 0, to be fixed by finish_block__fix_header.
WriteBlockInfo prepare_block_header(StorageWriter& w, Id4 id);

// Rewrites the chunk's header with the bytes written since its start and
// returns to the end so that writing can go on. False when a seek or write
// failed, or when the size does not fit the 32-bit field; the field then
// holds 0xFFFFFFFF, which readers take as "to the end of the file".
bool finish_block__fix_header(StorageWriter& w, const WriteBlockInfo& info);

// Offset of the next chunk's header: the chunk's end plus RIFF's pad byte
// when the size is odd.
std::int64_t next_block_position(const ReadBlockInfo& info);

}  // namespace x91
