#include "command/audio_output/descriptor_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace x91::cli {

namespace {

DescriptorIo& self_of(void* self) {
    return *static_cast<DescriptorIo*>(self);
}

}  // namespace

SF_VIRTUAL_IO DescriptorIo::callbacks() {
    return SF_VIRTUAL_IO{&DescriptorIo::length, &DescriptorIo::seek, &DescriptorIo::read,
                         &DescriptorIo::write, &DescriptorIo::tell};
}

sf_count_t DescriptorIo::length(void* self) {
    struct stat info {};
    return fstat(self_of(self).fd_, &info) == 0 ? static_cast<sf_count_t>(info.st_size) : -1;
}

sf_count_t DescriptorIo::seek(sf_count_t offset, int whence, void* self) {
    DescriptorIo& io = self_of(self);
    const off_t at = lseek(io.fd_, static_cast<off_t>(offset), whence);
    if (at < 0) io.note(errno);
    return static_cast<sf_count_t>(at);
}

sf_count_t DescriptorIo::read(void* data, sf_count_t count, void* self) {
    DescriptorIo& io = self_of(self);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::read(io.fd_, static_cast<char*>(data) + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

// Writes all or fails: a short count is how libsndfile learns of a failure,
// and the reason stays here.
sf_count_t DescriptorIo::write(const void* data, sf_count_t count, void* self) {
    DescriptorIo& io = self_of(self);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(io.fd_, static_cast<const char*>(data) + done,
                                  static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            io.note(n < 0 ? errno : EIO);
            break;
        }
        done += n;
    }
    return done;
}

sf_count_t DescriptorIo::tell(void* self) {
    return static_cast<sf_count_t>(lseek(self_of(self).fd_, 0, SEEK_CUR));
}

}  // namespace x91::cli
