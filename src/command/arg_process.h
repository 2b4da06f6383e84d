// The command line: every argument is a file name, converted by its suffix.
#pragma once

namespace x91::cli {

// Converts the named files one after another in argument order and returns
// the process exit status: 0 when every file converted, 1 when any failed.
int arg_process(int argc, char** argv);

}  // namespace x91::cli
