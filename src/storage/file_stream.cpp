#include "storage/file_stream.h"

#include <sys/types.h>

#include <cerrno>

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
    errno = 0;
    std::size_t got = std::fread(buf, 1, static_cast<std::size_t>(n), file_);
    pos_ += static_cast<std::int64_t>(got);
    if (got < static_cast<std::size_t>(n)) fail(std::ferror(file_) ? errno : 0);
    return static_cast<int>(got);
}

std::int64_t FileReader::possition() {
    return failed_ ? -1 : pos_;
}

std::int64_t FileReader::seek(std::int64_t pos) {
    if (failed_) return -1;
    if (pos < 0) {
        fail(EINVAL);
        return -1;
    }
    if (fseeko(file_, static_cast<off_t>(pos), SEEK_SET) != 0) {
        fail(errno);
        return -1;
    }
    pos_ = pos;
    return pos_;
}

std::int64_t FileReader::size() {
    if (failed_) return -1;
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
    if (pos < 0) {
        fail(EINVAL);
        return -1;
    }
    // fseeko first hands buffered bytes to the system; a full disk may be
    // reported here.
    if (fseeko(file_, static_cast<off_t>(pos), SEEK_SET) != 0) {
        fail(errno);
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
