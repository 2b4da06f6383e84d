#include "command/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "command/file_names.h"

namespace x91::cli {

namespace {

// As many links as the system itself follows before it gives up (ELOOP).
constexpr int kMaxLinks = 40;

FileIdentity from_stat(const struct stat& info) {
    FileIdentity identity;
    identity.id = FileIdentity::DeviceInode{info.st_dev, info.st_ino};
    identity.regular = S_ISREG(info.st_mode);
    return identity;
}

}  // namespace

std::string resolved_path(const std::string& name) {
    std::string path = name;
    for (int links = 0; links < kMaxLinks; ++links) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        char target[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), target, sizeof target);
        if (n <= 0 || n == static_cast<ssize_t>(sizeof target)) break;
        const std::string next(target, static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : directory_of(path) + next;
    }
    const std::string directory = directory_of(path);
    const std::unique_ptr<char, decltype(&std::free)> real(
        realpath(directory.empty() ? "." : directory.c_str(), nullptr), &std::free);
    if (!real) return path;
    std::string resolved = real.get();
    if (resolved.back() != '/') resolved += '/';
    return resolved + base_name_of(path);
}

FileIdentity identify(const std::string& name) {
    struct stat info {};
    FileIdentity identity = stat(name.c_str(), &info) == 0 ? from_stat(info) : FileIdentity{};
    identity.path = resolved_path(name);
    return identity;
}

FileIdentity identify_descriptor(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 ? from_stat(info) : FileIdentity{};
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
    if (a.id && b.id) return *a.id == *b.id;
    return !a.path.empty() && a.path == b.path;
}

}  // namespace x91::cli
