#include "command/std_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <iostream>

#include "command/io_failure.h"

namespace x91::cli {

namespace {

bool closed_at_start[3] = {false, false, false};

std::atomic<int> first_stdout_error{-1};  // -1 while nothing failed

}  // namespace

void reopen_closed_std_streams() {
    for (int fd = 0; fd < 3; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        closed_at_start[fd] = true;
        // open() returns the lowest free descriptor, which is fd itself: the
        // ones below it are open or were just reopened.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

bool was_closed_at_start(int fd) {
    return fd >= 0 && fd < 3 && closed_at_start[fd];
}

bool flush_standard_output() {
    errno = 0;
    std::cout.flush();
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && std::cout.good() && !std::ferror(stdout)) return true;
    int unset = -1;
    first_stdout_error.compare_exchange_strong(unset, errno);
    return false;
}

void flush_stream(std::ostream& out) {
    if (&out == &std::cout) {
        static_cast<void>(flush_standard_output());
    } else {
        out.flush();
    }
}

std::string standard_output_failure() {
    return io_failure(Status::write_failed, "cannot write", std::max(0, first_stdout_error.load()))
        .message;
}

}  // namespace x91::cli
