// Which file a name stands for, whatever its spelling: through "..", links
// to it, links to its directory, or a hard link.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace x91::cli {

struct FileIdentity {
    struct DeviceInode {
        dev_t device;
        ino_t inode;
        friend bool operator==(const DeviceInode&, const DeviceInode&) = default;
    };
    // Of a file that exists.
    std::optional<DeviceInode> id;
    bool regular = false;
    // For a name: its directory resolved to an absolute path without links,
    // then the last name, itself followed through links; so a file not yet
    // written is known by where it will be. Empty for a descriptor.
    std::string path;
};

FileIdentity identify(const std::string& name);
// The file open on descriptor fd (standard input or output).
FileIdentity identify_descriptor(int fd);

// True when both stand for one file: the same device and inode, or, for
// files not yet there, the same resolved path.
bool same_file(const FileIdentity& a, const FileIdentity& b);

// The name the links in name lead to, in full (the last one may lead
// nowhere yet: a dangling link names the file that writing it creates).
std::string resolved_path(const std::string& name);

}  // namespace x91::cli
