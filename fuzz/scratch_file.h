// A file of the fuzzing process's own, for readers that take a path: made
// once in $TMPDIR (or /tmp) and removed when the process exits.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace fuzz {

inline std::string scratch_path;

// For LLVMFuzzerInitialize; `stem` begins the file's name, so that a file
// left by a killed run says where it came from.
inline void make_scratch_file(const char* stem) {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/" + stem + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) std::abort();
    close(fd);
    scratch_path = pattern;
    std::atexit([] { unlink(scratch_path.c_str()); });
}

}  // namespace fuzz
