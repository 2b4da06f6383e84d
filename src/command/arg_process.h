// The command line: options, then file names, each converted by its suffix
// (or by its content where the name does not tell).
#pragma once

namespace x91::cli {

// Converts the named files in argument order (or several at once with -j)
// and returns the process exit status: 0 when every file converted, 1 when
// any failed or the command line was wrong.
int arg_process(int argc, char** argv);

}  // namespace x91::cli
