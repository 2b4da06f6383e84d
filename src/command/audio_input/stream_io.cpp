#include "command/audio_input/stream_io.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

namespace x91::cli {

namespace {

StreamIo& self_of(void* self) {
    return *static_cast<StreamIo*>(self);
}

}  // namespace

StreamIo::StreamIo(std::FILE* stream, std::string start)
    : stream_(stream), start_(std::move(start)) {}

SF_VIRTUAL_IO StreamIo::callbacks() {
    return SF_VIRTUAL_IO{&StreamIo::length, &StreamIo::seek, &StreamIo::read, nullptr,
                         &StreamIo::tell};
}

// A stream's length is not known; a length no stream reaches lets
// libsndfile take the sizes in headers as they stand and read to the end.
sf_count_t StreamIo::length(void*) {
    return INT64_MAX / 4;
}

sf_count_t StreamIo::tell(void* self) {
    return self_of(self).position_;
}

// Seeks only move the position: bytes are taken from the stream when they
// are read, so a look far ahead that is never read costs nothing.
sf_count_t StreamIo::seek(sf_count_t offset, int whence, void* self) {
    StreamIo& io = self_of(self);
    // A header's size field can ask for any offset: one past the largest
    // position is refused rather than wrapped.
    if (whence == SEEK_END || (whence == SEEK_CUR && offset > INT64_MAX - io.position_)) return -1;
    const sf_count_t target = whence == SEEK_CUR ? offset + io.position_ : offset;
    if (target < 0) return -1;
    io.position_ = target;
    return target;
}

sf_count_t StreamIo::read(void* data, sf_count_t count, void* self) {
    if (count <= 0) return 0;
    StreamIo& io = self_of(self);
    try {
        return io.read_at_position(static_cast<char*>(data), count);
    } catch (const std::bad_alloc&) {
        io.out_of_memory_ = true;
        return 0;
    }
}

sf_count_t StreamIo::take(char* data, sf_count_t count) {
    sf_count_t got = 0;
    if (start_next_ < start_.size()) {
        got = std::min<sf_count_t>(count, static_cast<sf_count_t>(start_.size() - start_next_));
        std::memcpy(data, start_.data() + start_next_, static_cast<std::size_t>(got));
        start_next_ += static_cast<std::size_t>(got);
    }
    if (got < count) {
        const std::size_t want = static_cast<std::size_t>(count - got);
        const std::size_t more = std::fread(data + got, 1, want, stream_);
        if (more < want && std::ferror(stream_)) failed_ = true;
        if (more < want && std::feof(stream_)) at_end_ = true;
        got += static_cast<sf_count_t>(more);
    }
    const sf_count_t keep = std::min(got, kKeptBytes - taken_);
    if (keep > 0) kept_.append(data, static_cast<std::size_t>(keep));
    taken_ += got;
    return got;
}

sf_count_t StreamIo::read_at_position(char* data, sf_count_t count) {
    // Behind what was taken: bytes within the kept start are taken and kept
    // (a chunk skipped); beyond it the stream cannot come back to what it
    // would pass over, so that is read as the end (libsndfile looking for
    // chunks behind long audio, which it then reads from where it was).
    if (position_ > taken_) {
        if (position_ > kKeptBytes) return 0;
        char scratch[4096];
        while (taken_ < position_) {
            const sf_count_t step = std::min<sf_count_t>(position_ - taken_, sizeof scratch);
            if (take(scratch, step) < step) return 0;
        }
    }
    sf_count_t done = 0;
    if (position_ < taken_) {
        // Read again from what was kept; bytes taken but not kept are gone.
        if (position_ >= static_cast<sf_count_t>(kept_.size())) return 0;
        done = std::min(count, static_cast<sf_count_t>(kept_.size()) - position_);
        std::memcpy(data, kept_.data() + position_, static_cast<std::size_t>(done));
        position_ += done;
        // Kept bytes end where taking goes on only when all were kept.
        if (position_ < taken_ || done == count) return done;
    }
    const sf_count_t got = take(data + done, count - done);
    position_ += got;
    return done + got;
}

}  // namespace x91::cli
