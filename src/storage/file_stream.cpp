#include "storage/file_stream.h"

#include <sys/stat.h>
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

// A directory opens for reading like a file and fails only at the first
// read; refusing it here gives the true reason instead of an empty file.
std::FILE* open_for_reading(const char* name) {
    std::FILE* file = std::fopen(name, "rb");
    struct stat info {};
    if (file != nullptr && fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        return nullptr;
    }
    return file;
}

}  // namespace

// --- FileSpace --------------------------------------------------------------

FileSpace::FileSpace(std::FILE* file, bool owns) : file_(file), owns_(owns) {
    if (file_ == nullptr) {
        fail(owns_ ? errno : EBADF);
    } else {
        pos_ = tell_or_zero(file_);
    }
}

void FileSpace::fail(int err) {
    if (!failed_) error_ = err;
    failed_ = true;
}

std::int64_t FileSpace::possition() {
    return failed_ ? -1 : pos_;
}

std::int64_t FileSpace::seek(std::int64_t pos) {
    if (failed_ || file_ == nullptr) {
        fail(EBADF);
        return -1;
    }
    if (seek_refused_) {
        fail(ESPIPE);
        return -1;
    }
    // On a writer the seek first hands buffered bytes to the system; a full
    // disk may be reported here.
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

// Seeks to the end and back to where we were.
std::int64_t FileSpace::size() {
    if (failed_ || file_ == nullptr) return -1;
    if (seek_refused_) {
        fail(ESPIPE);
        return -1;
    }
    off_t end = -1;
    if (fseeko(file_, 0, SEEK_END) != 0 || (end = ftello(file_)) < 0 ||
        fseeko(file_, static_cast<off_t>(pos_), SEEK_SET) != 0) {
        fail(errno);
        return -1;
    }
    return static_cast<std::int64_t>(end);
}

// --- FileReader -------------------------------------------------------------

FileReader::FileReader(const char* name) : FileSpace(open_for_reading(name), true) {}

FileReader::FileReader(std::FILE* stream) : FileSpace(stream, false) {}

FileReader::FileReader(std::FILE* stream, const char* taken, int n) : FileReader(stream) {
    if (n > 0) {
        taken_.assign(taken, static_cast<std::size_t>(n));
        seek_refused_ = true;
        pos_ = std::max<std::int64_t>(0, pos_ - n);
    }
}

FileReader::~FileReader() {
    if (file_ != nullptr && owns_) std::fclose(file_);
}

void FileReader::keep_reads(std::size_t limit) {
    keeping_ = true;
    kept_whole_ = true;
    keep_limit_ = limit;
    kept_.clear();
}

const std::string* FileReader::stop_keeping() {
    keeping_ = false;
    return kept_whole_ ? &kept_ : nullptr;
}

int FileReader::read(char* buf, int n) {
    const int got = read_through(buf, n);
    if (keeping_ && kept_whole_ && got > 0) {
        if (kept_.size() + static_cast<std::size_t>(got) > keep_limit_) {
            kept_whole_ = false;
            kept_ = std::string();
        } else {
            kept_.append(buf, static_cast<std::size_t>(got));
        }
    }
    return got;
}

int FileReader::read_through(char* buf, int n) {
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

// Only a regular file has a size to go by: a terminal or a device may
// accept a seek and still not hold what its size says.
bool FileReader::seekable() const {
    if (file_ == nullptr || seek_refused_) return false;
    const int fd = fileno(file_);
    struct stat info {};
    return fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && lseek(fd, 0, SEEK_CUR) >= 0;
}

int FileReader::peek(char* buf, int n) {
    if (failed_ || n <= 0) return 0;
    errno = 0;
    if (seekable()) {
        const std::size_t got = std::fread(buf, 1, static_cast<std::size_t>(n), file_);
        if (std::ferror(file_)) {
            fail(errno);
            return 0;
        }
        std::clearerr(file_);
        if (fseeko(file_, static_cast<off_t>(pos_), SEEK_SET) != 0) {
            fail(errno);
            return 0;
        }
        return static_cast<int>(got);
    }
    // A stream cannot go back: the bytes wait in taken_ to be read again.
    taken_.erase(0, taken_next_);
    taken_next_ = 0;
    const auto wanted = static_cast<std::size_t>(n);
    if (taken_.size() < wanted) {
        const std::size_t held = taken_.size();
        taken_.resize(wanted);
        const std::size_t got = std::fread(taken_.data() + held, 1, wanted - held, file_);
        taken_.resize(held + got);
        if (std::ferror(file_)) fail(errno);
    }
    const std::size_t shown = std::min(wanted, taken_.size());
    std::copy_n(taken_.data(), shown, buf);
    return static_cast<int>(shown);
}

std::int64_t FileReader::skip(std::int64_t n) {
    if (failed_ || n <= 0) return 0;
    if (seekable()) {
        const std::int64_t end = size();
        if (end < 0) return 0;
        // n may be anything up to INT64_MAX ("the rest"), so no pos_ + n.
        const std::int64_t passed = std::min(n, std::max<std::int64_t>(0, end - pos_));
        if (seek(pos_ + passed) < 0) return 0;
        if (passed < n) fail(0);
        return passed;
    }
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

bool FileReader::at_end() {
    if (failed_) return true;
    if (taken_next_ < taken_.size()) return false;
    // One byte of look-ahead, handed back to the stream at once.
    errno = 0;
    const int next = std::getc(file_);
    if (next == EOF) {
        if (std::ferror(file_)) fail(errno);
        return true;
    }
    std::ungetc(next, file_);
    return false;
}

// --- FileWriter -------------------------------------------------------------

FileWriter::FileWriter(const char* name) : FileSpace(std::fopen(name, "wb"), true) {}

FileWriter::FileWriter(std::FILE* stream) : FileSpace(stream, false) {}

FileWriter::~FileWriter() {
    close();
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

bool FileWriter::close() {
    if (file_ == nullptr) return !failed_;
    if (std::fflush(file_) != 0) fail(errno);
    if (owns_ && std::fclose(file_) != 0) fail(errno);
    file_ = nullptr;
    return !failed_;
}

}  // namespace x91
