#include "command/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "command/file_identity.h"
#include "command/file_names.h"
#include "command/io_failure.h"

namespace x91::cli {

namespace {

const char* const kCannotWrite = "cannot write";

// A regular file opened for writing at a position it keeps: with O_APPEND
// every write lands at the end, whatever was sought.
bool rewindable_descriptor(int fd) {
    struct stat info {};
    const int flags = fcntl(fd, F_GETFL);
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flags != -1 &&
           (flags & O_APPEND) == 0 && lseek(fd, 0, SEEK_CUR) >= 0;
}

}  // namespace

Output::~Output() {
    if (owns_stream_ && stream_ != nullptr) std::fclose(stream_);
}

Result Output::open(const std::string& name) {
    if (is_std_stream(name)) {
        stream_ = stdout;
        rewindable_ = rewindable_descriptor(STDOUT_FILENO);
        return {};
    }
    struct stat info {};
    if (stat(name.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) return open_direct(name);
    } else if (errno != ENOENT) {
        // A name that leads to no file and to no place for one (a loop of
        // links, a path through a file): the link it may be must stay.
        return io_failure(Status::write_failed, kCannotWrite, errno);
    }
    return open_replacement(name);
}

Result Output::adopt(int fd) {
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        const int error = errno;
        close(fd);
        return io_failure(Status::write_failed, kCannotWrite, error);
    }
    owns_stream_ = true;
    return {};
}

// No O_CREAT and no O_TRUNC: the node exists and is written as it is. A
// FIFO's open waits for its reader, as a shell redirect does.
Result Output::open_direct(const std::string& name) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return io_failure(Status::write_failed, kCannotWrite, errno);
    if (isatty(fd)) {
        close(fd);
        return {Status::write_failed, "will not write audio to a terminal"};
    }
    return adopt(fd);
}

Result Output::open_replacement(const std::string& name) {
    const std::string target = resolved_path(name);
    // What a shell redirect checks: write permission on the file itself,
    // which replacing it through the directory would otherwise bypass.
    if (access(target.c_str(), F_OK) == 0 &&
        faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return io_failure(Status::write_failed, kCannotWrite, errno);
    temp_ = std::make_unique<TempOutput>(target);
    if (!temp_->status()) return temp_->status();
    Result adopted = adopt(temp_->take_descriptor());
    rewindable_ = adopted.ok();
    return adopted;
}

Result Output::commit() {
    if (stream_ == nullptr) return {Status::write_failed, "cannot write: not open"};
    errno = 0;
    const bool flushed = std::fflush(stream_) == 0;
    int error = errno;
    if (owns_stream_) {
        const bool closed = std::fclose(stream_) == 0;
        if (flushed && !closed) error = errno;
        stream_ = nullptr;
        owns_stream_ = false;
        if (!(flushed && closed)) return io_failure(Status::write_failed, kCannotWrite, error);
    } else if (!flushed) {
        return io_failure(Status::write_failed, kCannotWrite, error);
    }
    return temp_ ? temp_->commit() : Result{};
}

}  // namespace x91::cli
