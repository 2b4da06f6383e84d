#include "command/collection_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

#include "command/file_names.h"

namespace x91::cli {

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool taken_by_walk(const std::string& name) {
    return is_audio_name(name) || is_x91_name(name) || is_cover_name(name);
}

struct Walker {
    std::optional<FileIdentity::DeviceInode> skipped;
    WalkResult result;

    // Every entry of folder (root-relative "rel", "" or ending in '/').
    void walk(const std::string& root, const std::string& rel) {
        const std::string path = root + rel;
        std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
        if (!dir) {
            const int error = errno;
            // Named without the slash that ends every folder's path here.
            const std::string shown = path.size() > 1 ? path.substr(0, path.size() - 1) : path;
            result.problems.push_back(
                {shown, std::string("cannot read folder: ") + std::strerror(error)});
            return;
        }
        std::vector<std::string> names;
        while (const dirent* entry = readdir(dir.get())) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        dir.reset();
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) take(root, rel + name);
    }

    void take(const std::string& root, const std::string& rel) {
        struct stat link_info {};
        if (lstat((root + rel).c_str(), &link_info) != 0) return;
        if (S_ISDIR(link_info.st_mode)) {
            if (skipped && skipped->device == link_info.st_dev &&
                skipped->inode == link_info.st_ino)
                return;
            walk(root, rel + '/');
            return;
        }
        struct stat info {};
        // A link is taken for the file it leads to, never for a folder.
        if (stat((root + rel).c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return;
        if (taken_by_walk(base_name_of(rel))) result.files.push_back(rel);
    }
};

}  // namespace

WalkResult walk_collection(const std::string& root,
                           const std::optional<FileIdentity::DeviceInode>& skipped) {
    Walker walker{skipped, {}};
    walker.walk(root.empty() || root.back() == '/' ? root : root + '/', "");
    // One order for the whole tree, whatever the depth of its parts.
    std::sort(walker.result.files.begin(), walker.result.files.end());
    return walker.result;
}

bool is_cover_name(const std::string& name) {
    const std::string lowered = lower(name);
    const std::size_t dot = lowered.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string stem = lowered.substr(0, dot), ext = lowered.substr(dot + 1);
    const bool cover_stem = stem == "cover" || stem == "folder" || stem == "front";
    return cover_stem && (ext == "jpg" || ext == "jpeg" || ext == "png");
}

}  // namespace x91::cli
