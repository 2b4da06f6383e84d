#include <csignal>
#include <cstdio>
#include <new>

#include "command/arg_process.h"
#include "command/std_streams.h"
#include "command/temp_output.h"

int main(int argc, char** argv) {
    x91::cli::reopen_closed_std_streams();
    x91::cli::install_interrupt_cleanup();
    // A file size limit then shows as a failed write, reported like a full
    // disk, instead of killing the process mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    // A reader that goes away (x91 -o - song.x91 | head) shows as a failed
    // write, reported and cleaned up like any other, instead of killing the
    // process with temporary files of other conversions left behind.
    std::signal(SIGPIPE, SIG_IGN);
    // Each file's conversion fails alone when memory runs out; this catches
    // what the run itself needs (its options, its list of jobs), after the
    // unwinding has removed every temporary file.
    try {
        return x91::cli::arg_process(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("x91: out of memory\n", stderr);
        return 1;
    }
}
