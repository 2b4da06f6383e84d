// Chunk seeks and storage indexing of the codec's toolbox, unused by the codec, kept here.
#pragma once

#include <cstdint>

#include "storage/riff.h"
#include "storage/storage_stream.h"

namespace x91 {

inline std::int64_t seek_in_block(StorageSpace& s, const BlockInfo& info, std::int64_t offset) {
    return s.seek(info.start + offset);
}

// Seeks to start + size exactly, without the pad byte of an odd-sized chunk.
inline std::int64_t seek_end_of_block(StorageSpace& s, const ReadBlockInfo& info) {
    return s.seek(info.start + info.size);
}

// Indexing a storage with an offset yields the storage positioned there. The
// storage classes are closed, so the index operator lives on this view.
class IndexedStorage {
  public:
    explicit IndexedStorage(StorageSpace& storage) : storage_(storage) {}
    StorageSpace& operator[](std::int64_t pos) {
        storage_.seek(pos);
        return storage_;
    }

  private:
    StorageSpace& storage_;
};

}  // namespace x91
