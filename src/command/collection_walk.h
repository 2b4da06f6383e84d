// The files below a folder that a recursive run takes: audio to encode, x91
// files to decode and the cover images beside them, in a stable order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command/file_identity.h"

namespace x91::cli {

struct WalkResult {
    // Paths relative to the folder walked ("disc 1/01.flac"), sorted in byte
    // order, so that a run goes the same way on every machine.
    std::vector<std::string> files;
    // Folders that could not be read (their path and the reason): what
    // they hold is missing from files.
    struct Problem {
        std::string folder;
        std::string reason;
    };
    std::vector<Problem> problems;
};

// Walks root. Links to folders are not followed, so a link back up the tree
// cannot make the walk endless; links to files are taken as the files.
// `skipped`, when set, is a folder left out with all it holds (the output
// folder of a run inside its own input).
WalkResult walk_collection(const std::string& root,
                           const std::optional<FileIdentity::DeviceInode>& skipped);

// cover.*, folder.* and front.* in jpg, jpeg or png, in any case.
bool is_cover_name(const std::string& name);

}  // namespace x91::cli
