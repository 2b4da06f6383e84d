#include "storage/file_stream.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace x91 {

namespace {

// fseeko/ftello take off_t, which is 64-bit on the hosts we build for; the
// plain fseek/ftell would stop at 2 GiB where long is 32-bit.
static_assert(sizeof(off_t) >= 8, "64-bit file offsets are required");

std::int64_t tell_or_zero(std::FILE* f) {
    off_t p = ftello(f);
    return p < 0 ? 0 : static_cast<std::int64_t>(p);
}

// Seeks to the end and back to where we were; -1 when either seek fails.
std::int64_t stream_size(std::FILE* f, std::int64_t here) {
    if (fseeko(f, 0, SEEK_END) != 0) return -1;
    off_t end = ftello(f);
    if (end < 0) return -1;
    if (fseeko(f, static_cast<off_t>(here), SEEK_SET) != 0) return -1;
    return static_cast<std::int64_t>(end);
}

// An absolute seek; 0 on success, else the error to record.
int seek_absolute(std::FILE* f, std::int64_t pos) {
    if (pos < 0) return EINVAL;
    return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0 ? 0 : errno;
}

}  // namespace

// --- FileReader -------------------------------------------------------------

FileReader::FileReader(const char* name) : file_(std::fopen(name, "rb")), owns_(true) {
    if (file_ == nullptr) fail(errno);
}

FileReader::FileReader(std::FILE* stream) : file_(stream), owns_(false) {
    if (file_ == nullptr) {
        fail(EBADF);
    } else {
        pos_ = tell_or_zero(file_);
    }
}

FileReader::FileReader(std::FILE* stream, const char* taken, int n) : FileReader(stream) {
    if (n > 0) {
        taken_.assign(taken, static_cast<std::size_t>(n));
        had_taken_ = true;
        pos_ = std::max<std::int64_t>(0, pos_ - n);
    }
}

FileReader::~FileReader() {
    if (file_ != nullptr && owns_) std::fclose(file_);
}

void FileReader::fail(int err) {
    if (!failed_) error_ = err;
    failed_ = true;
}

int FileReader::read(char* buf, int n) {
    if (failed_ || n < 0) {
        fail(0);
        return 0;
    }
    if (n == 0) return 0;
    int from_taken = 0;
    if (taken_next_ < taken_.size()) {
        from_taken = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(n), taken_.size() - taken_next_));
        std::copy_n(taken_.data() + taken_next_, from_taken, buf);
        taken_next_ += static_cast<std::size_t>(from_taken);
        pos_ += from_taken;
        if (from_taken == n) return n;
    }
    errno = 0;
    const std::size_t want = static_cast<std::size_t>(n - from_taken);
    std::size_t got = std::fread(buf + from_taken, 1, want, file_);
    pos_ += static_cast<std::int64_t>(got);
    if (got < want) fail(std::ferror(file_) ? errno : 0);
    return from_taken + static_cast<int>(got);
}

bool FileReader::seekable() const {
    if (file_ == nullptr || had_taken_) return false;
    const int fd = fileno(file_);
    return fd >= 0 && lseek(fd, 0, SEEK_CUR) >= 0;
}

std::int64_t FileReader::skip(std::int64_t n) {
    char scratch[4096];
    std::int64_t done = 0;
    while (done < n) {
        const int chunk = static_cast<int>(std::min<std::int64_t>(n - done, sizeof scratch));
        const int got = read(scratch, chunk);
        done += got;
        if (got < chunk) break;
    }
    return done;
}

std::int64_t FileReader::possition() {
    return failed_ ? -1 : pos_;
}

std::int64_t FileReader::seek(std::int64_t pos) {
    if (failed_) return -1;
    if (had_taken_) {
        // The taken bytes are no longer in the stream to seek back to.
        fail(ESPIPE);
        return -1;
    }
    if (const int err = seek_absolute(file_, pos); err != 0) {
        fail(err);
        return -1;
    }
    pos_ = pos;
    return pos_;
}

std::int64_t FileReader::size() {
    if (failed_) return -1;
    if (had_taken_) {
        fail(ESPIPE);
        return -1;
    }
    std::int64_t s = stream_size(file_, pos_);
    if (s < 0) fail(errno);
    return s;
}

// --- FileWriter -------------------------------------------------------------

FileWriter::FileWriter(const char* name) : file_(std::fopen(name, "wb")), owns_(true) {
    if (file_ == nullptr) fail(errno);
}

FileWriter::FileWriter(std::FILE* stream) : file_(stream), owns_(false) {
    if (file_ == nullptr) {
        fail(EBADF);
    } else {
        pos_ = tell_or_zero(file_);
    }
}

FileWriter::~FileWriter() {
    close();
}

void FileWriter::fail(int err) {
    if (!failed_) error_ = err;
    failed_ = true;
}

int FileWriter::write(const char* buf, int n) {
    if (failed_ || file_ == nullptr || n < 0) {
        fail(file_ == nullptr ? EBADF : 0);
        return 0;
    }
    if (n == 0) return 0;
    std::size_t put = std::fwrite(buf, 1, static_cast<std::size_t>(n), file_);
    pos_ += static_cast<std::int64_t>(put);
    if (put < static_cast<std::size_t>(n)) fail(errno);
    return static_cast<int>(put);
}

std::int64_t FileWriter::possition() {
    return failed_ ? -1 : pos_;
}

std::int64_t FileWriter::seek(std::int64_t pos) {
    if (failed_ || file_ == nullptr) {
        fail(EBADF);
        return -1;
    }
    // The seek first hands buffered bytes to the system; a full disk may be
    // reported here.
    if (const int err = seek_absolute(file_, pos); err != 0) {
        fail(err);
        return -1;
    }
    pos_ = pos;
    return pos_;
}

std::int64_t FileWriter::size() {
    if (failed_ || file_ == nullptr) return -1;
    std::int64_t s = stream_size(file_, pos_);
    if (s < 0) fail(errno);
    return s;
}

bool FileWriter::close() {
    if (file_ == nullptr) return !failed_;
    if (std::fflush(file_) != 0) fail(errno);
    if (owns_ && std::fclose(file_) != 0) fail(errno);
    file_ = nullptr;
    return !failed_;
}

}  // namespace x91
