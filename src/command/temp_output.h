// Outputs are written to a temporary file beside the target and renamed over
// it only when complete, so a failure, a full disk or an interrupt never
// leaves a truncated file and never destroys an existing one.
#pragma once

#include <memory>
#include <string>

#include "x91/status.h"

namespace x91::cli {

class TempOutput {
  public:
    // Creates the temporary file in the target's directory (same file
    // system, so the final rename is atomic). status() tells whether it
    // worked: ok, or write_failed "cannot write: <reason>".
    explicit TempOutput(const std::string& target);
    ~TempOutput();
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    const Result& status() const { return status_; }
    const std::string& path() const { return path_; }

    // Renames the finished temporary file over the target: ok, or
    // write_failed "cannot write: <reason>" with the temporary file removed.
    [[nodiscard]] Result commit();

  private:
    std::string target_;
    std::string path_;
    Result status_;
    int slot_ = -1;
    bool committed_ = false;
};

// Where a conversion writes: an output named "-" is standard output, written
// directly, and temp stays empty; any other goes to a temporary file beside
// it (see TempOutput). Returns the temporary file's status.
[[nodiscard]] Result open_output(const std::string& out, std::unique_ptr<TempOutput>& temp);

// Puts a finished output in place: the rename of its temporary file, or
// nothing for standard output.
[[nodiscard]] Result commit_output(TempOutput* temp);

// Removes every temporary output still open and ends the process with the
// conventional status for the signal; installed for SIGINT, SIGTERM, SIGHUP.
void install_interrupt_cleanup();

}  // namespace x91::cli
