// Outputs are written to a temporary file beside the target and renamed over
// it only when complete, so a failure, a full disk or an interrupt never
// leaves a truncated file and never destroys an existing one.
#pragma once

#include <string>

namespace x91::cli {

class TempOutput {
  public:
    // Creates the temporary file in the target's directory (same file
    // system, so the final rename is atomic). ok() tells whether it worked;
    // problem() then says why not.
    explicit TempOutput(const std::string& target);
    ~TempOutput();
    TempOutput(const TempOutput&) = delete;
    TempOutput& operator=(const TempOutput&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& problem() const { return problem_; }
    const std::string& path() const { return path_; }

    // Renames the finished temporary file over the target. Returns false
    // (and removes the temporary file) if the rename fails.
    bool commit();

  private:
    std::string target_;
    std::string path_;
    std::string problem_;
    int slot_ = -1;
    bool committed_ = false;
};

// Removes every temporary output still open and ends the process with the
// conventional status for the signal; installed for SIGINT, SIGTERM, SIGHUP.
void install_interrupt_cleanup();

}  // namespace x91::cli
