// Outputs are written to a temporary file beside the target and renamed over
// it only when complete, so a failure, a full disk or an interrupt never
// leaves a truncated file and never destroys an existing one.
#pragma once

#include <string>

#include "x91/status.h"

namespace x91::cli {

class TempOutput {
  public:
    // Creates the temporary file in the target's directory (same file
    // system, so the final rename is atomic) under a hidden name that fits
    // the directory's limit on name length. It takes the mode and, where
    // the system lets it, the owner of the file it will replace; a new file
    // gets the permissions the umask gives. status() tells whether it
    // worked: ok, or write_failed "cannot write: <reason>".
    explicit TempOutput(const std::string& target);
    ~TempOutput();
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    const Result& status() const { return status_; }

    // The open temporary file, once: whoever takes it closes it before
    // commit().
    int take_descriptor();

    // Renames the finished temporary file over the target: ok, or
    // write_failed "cannot write: <reason>" with the temporary file removed.
    [[nodiscard]] Result commit();

  private:
    std::string target_;
    std::string path_;
    Result status_;
    int fd_ = -1;
    int slot_ = -1;
    bool committed_ = false;
};

// Removes every temporary output still open and ends the process with the
// conventional status for the signal; installed for every signal whose
// default action ends the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT,
// SIGUSR1, SIGALRM, SIGXCPU, the real-time signals, ...) but the faults the
// program raises itself.
void install_interrupt_cleanup();

}  // namespace x91::cli
