// Storage indexing of the codec's toolbox, unused by the codec, kept here.
#pragma once

#include <cstdint>

#include "storage/storage_stream.h"

namespace x91 {

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
