#include "command/folder_picture.h"

#include <dirent.h>

#include <cctype>
#include <memory>
#include <tuple>

#include "command/collection_walk.h"
#include "command/file_names.h"

namespace x91::cli {

namespace {

// 0 for cover.*, 1 for front.*, 2 for folder.*: the names a person most
// often gives the front cover come first.
int stem_rank(const std::string& name) {
    const auto c = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    return c == 'c' ? 0 : c == 'f' && name.size() > 1 && std::tolower(name[1]) == 'r' ? 1 : 2;
}

}  // namespace

std::optional<std::string> folder_cover(const std::string& audio_path) {
    const std::string folder = directory_of(audio_path);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()),
                                            closedir);
    if (!dir) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!is_cover_name(name)) continue;
        if (!best ||
            std::make_tuple(stem_rank(name), name) < std::make_tuple(stem_rank(*best), *best))
            best = name;
    }
    if (!best) return std::nullopt;
    return folder + *best;
}

}  // namespace x91::cli
