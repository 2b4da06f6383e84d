// Runs the real x91 command in a scratch directory and captures its output.
// The scratch directories and the WAV images the command-level tests feed
// it come along.
#pragma once

#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "support/wav_bytes.h"

namespace x91test {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs `x91 args...` with `dir` as working directory. `shell_prefix` is
// prepended to the command (e.g. "ulimit -v 200000; ").
RunResult run_x91(const std::string& dir, const std::vector<std::string>& args,
                  const std::string& shell_prefix = "");

// Runs `cat stdin_file | x91 args | cat > stdout_file` in dir, so that both
// standard streams are real pipes that cannot seek. An empty stdin_file
// gives an empty standard input. `out` holds what reached stdout_file.
RunResult run_piped(const std::string& dir, const std::vector<std::string>& args,
                    const std::string& stdin_file, const std::string& stdout_file);

// Runs `script` with bash in `dir`, where "$X91" names the command under
// test, for what takes a shell: closed or redirected streams, FIFOs,
// process substitution, limits. Standard input is /dev/null unless the
// script says otherwise.
RunResult run_shell(const std::string& dir, const std::string& script);

// Runs `x91 args...` in `dir` with standard output and standard error on a
// new pseudo-terminal (output processing off, so `out` holds the bytes
// exactly as written) and standard input on /dev/null.
RunResult run_x91_on_terminal(const std::string& dir, const std::vector<std::string>& args);

// The argument quoted for the shell.
std::string shell_quote(const std::string& s);

}  // namespace x91test
