// What a run converts: the names given, with the folders of -r replaced by
// what they hold, and where each output goes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command/options.h"

namespace x91::cli {

struct PlannedInput {
    std::string input;
    // The output's name; none where the input's content must decide it (or
    // refuse it): standard input without -o, a name of no known suffix.
    std::optional<std::string> output;
    // A cover image copied into the mirror as it is.
    bool cover = false;
    // Not converted, for this reason (a folder without -r, an output that
    // another input of the run writes too).
    std::string refusal;
};

// The inputs of the run in order: each name given, a folder (with -r) as
// the files below it in byte order. In a folder, an x91 file that is the
// output of an audio file beside it, and a decode of an x91 file beside it
// (NAME.x91.wav), are outputs of earlier runs, not inputs. With -r or -d,
// two inputs with one output are refused, the later one with a reason: one
// would silently replace the other.
std::vector<PlannedInput> plan_inputs(const Options& o);

}  // namespace x91::cli
