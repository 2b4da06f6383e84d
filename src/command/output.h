// Where a conversion writes, decided from the output's name before anything
// is written:
// - "-" is standard output, written directly;
// - an existing file that is not a regular file (a FIFO, a device, a link to
//   either) is written into directly in the same way, never replaced: its
//   reader gets the data and the node stays;
// - anything else goes to a temporary file beside the file it names (the
//   file a link leads to, so the link stays a link), renamed over it when
//   complete (see TempOutput).
// What is written directly is left as far as it got when a write fails.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "command/temp_output.h"
#include "x91/status.h"

namespace x91::cli {

class Output {
  public:
    Output() = default;
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // ok, or write_failed naming the reason: "cannot write: <reason>" (also
    // for an existing file the user may not write, as a shell redirect
    // would refuse it), or "will not write audio to a terminal".
    [[nodiscard]] Result open(const std::string& name);

    // Where to write, after open() succeeded.
    std::FILE* stream() const { return stream_; }

    // True when the stream is a regular file a writer can go back in to fix
    // sizes: a temporary file, or standard output redirected to a file
    // (not for appending).
    bool rewindable() const { return rewindable_; }

    // A name under which another library can open what was written so far
    // and rewrite it (TagLib, to tag a FLAC or AIFF file): the temporary
    // file, or the descriptor of a rewindable stream; "" for a pipe.
    std::string rewrite_path() const;

    // Closes the stream and puts the output in place: ok, or write_failed
    // "cannot write: <reason>". Standard output is flushed, not closed.
    [[nodiscard]] Result commit();

  private:
    Result open_direct(const std::string& name);
    Result open_replacement(const std::string& name);
    // Makes fd, open for writing, the stream this output owns; closes it
    // when that fails.
    Result adopt(int fd);

    std::FILE* stream_ = nullptr;
    bool owns_stream_ = false;
    bool rewindable_ = false;
    std::unique_ptr<TempOutput> temp_;
};

}  // namespace x91::cli
