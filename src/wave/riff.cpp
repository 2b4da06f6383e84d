#include "wave/riff.h"

namespace x91 {

bool operator<=(OutputStream& out, Id4 id) {
    for (char ch : id.c) {
        if (!write(out, ch)) return false;
    }
    return true;
}

bool operator>=(InputStream& in, Id4& id) {
    for (char& ch : id.c) {
        if (!read(in, ch)) return false;
    }
    return true;
}

bool operator<=(OutputStream& out, const BlockHeader& header) {
    return out <= header.id && write(out, header.size);
}

bool operator>=(InputStream& in, BlockHeader& header) {
    return in >= header.id && read(in, header.size);
}

bool operator<=(OutputStream& out, const da_PcmWaveFormat& f) {
    return write(out, f.format_tag) && write(out, f.channels) && write(out, f.samples_per_second) &&
           write(out, f.bytes_per_second) && write(out, f.block_align) &&
           write(out, f.bits_per_sample);
}

bool operator>=(InputStream& in, da_PcmWaveFormat& f) {
    return read(in, f.format_tag) && read(in, f.channels) && read(in, f.samples_per_second) &&
           read(in, f.bytes_per_second) && read(in, f.block_align) && read(in, f.bits_per_sample);
}

ReadBlockInfo read_block_header(StorageReader& r) {
    BlockHeader header;
    static_cast<void>(r >= header);  // at the end of a file the caller sees an unset id
    ReadBlockInfo info;
    info.id = header.id;
    info.start = r.possition();
    info.size = header.size;
    return info;
}

WriteBlockInfo prepare_block_header(StorageWriter& w, Id4 id) {
    WriteBlockInfo info;
    info.id = id;
    info.header_position = w.possition();
    static_cast<void>(w <= BlockHeader(id, 0));  // failure stays in the stream's state
    info.start = w.possition();
    return info;
}

bool finish_block__fix_header(StorageWriter& w, const WriteBlockInfo& info) {
    const std::int64_t end = w.possition();
    const std::int64_t start = w.seek(info.start);
    if (end < 0 || start < 0 || end < start) return false;
    const std::int64_t size = end - start;
    const bool fits = size <= 0xFFFFFFFF;
    const auto field = fits ? static_cast<std::uint32_t>(size) : std::uint32_t{0xFFFFFFFF};
    if (w.seek(info.header_position) < 0) return false;
    const bool written = w <= BlockHeader(info.id, field);
    return w.seek(end) == end && written && fits;
}

std::int64_t next_block_position(const ReadBlockInfo& info) {
    return info.start + info.size + (info.size & 1u);
}

}  // namespace x91
