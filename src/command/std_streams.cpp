#include "command/std_streams.h"

#include <fcntl.h>
#include <unistd.h>

namespace x91::cli {

namespace {

bool closed_at_start[3] = {false, false, false};

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

}  // namespace x91::cli
