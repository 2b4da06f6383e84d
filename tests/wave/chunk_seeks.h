// Chunk seeks of the codec's toolbox, unused by the codec, kept here.
#pragma once

#include <cstdint>

#include "storage/storage_stream.h"
#include "wave/riff.h"

namespace x91 {

inline std::int64_t seek_in_block(StorageSpace& s, const BlockInfo& info, std::int64_t offset) {
    return s.seek(info.start + offset);
}

// Seeks to start + size exactly, without the pad byte of an odd-sized chunk.
inline std::int64_t seek_end_of_block(StorageSpace& s, const ReadBlockInfo& info) {
    return s.seek(info.start + info.size);
}

}  // namespace x91
