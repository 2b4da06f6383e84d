// libsndfile's virtual I/O over an open descriptor, keeping the system's
// reason when a write fails: libsndfile's own file I/O turns a full disk into
// "problem with initialization of the flac decoder" and the like.
#pragma once

#include <sndfile.h>

namespace x91::cli {

class DescriptorIo {
  public:
    explicit DescriptorIo(int fd) : fd_(fd) {}

    // The callbacks, to pass to sf_open_virtual with this object.
    static SF_VIRTUAL_IO callbacks();

    // The errno of the first write or seek that failed; 0 while none has.
    int error() const { return error_; }

  private:
    static sf_count_t length(void* self);
    static sf_count_t seek(sf_count_t offset, int whence, void* self);
    static sf_count_t read(void* data, sf_count_t count, void* self);
    static sf_count_t write(const void* data, sf_count_t count, void* self);
    static sf_count_t tell(void* self);

    void note(int error) {
        if (error_ == 0) error_ = error;
    }

    int fd_;
    int error_ = 0;
};

}  // namespace x91::cli
