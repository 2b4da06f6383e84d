// The tag tool of the command: an x91 file's length, rate, integrity, tags
// and pictures listed, and its tags and pictures changed in place. Only the
// extension block is rewritten: the bytes before it are copied unchanged
// to a temporary file beside the original, the new block is added, and the
// copy is renamed over the original, so a failure at any point leaves the
// old file as it was.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command/cd_audio.h"
#include "x91/status.h"
#include "x91/x91.h"

namespace x91::cli {

// The changes, made in this order: every tag removed, the tags of the
// names removed, the tags set (each replacing the values of its name, several
// of one name all kept), the pictures added; then the first front cover (or
// the first picture) written to export_picture.
struct TagEdits {
    bool remove_all = false;
    std::vector<std::string> remove;
    std::vector<Tag> set;
    std::vector<Picture> add_pictures;
    std::optional<std::string> export_picture;

    bool changes_file() const {
        return remove_all || !remove.empty() || !set.empty() || !add_pictures.empty();
    }
};

// Changes the named file, which must pass the check of -t first: ok, or the
// reason nothing was changed. A file without an extension block gets one:
// its length is what the file decodes to (no lead-in cut), its CRC that of
// every byte before the block.
Result EditXFile(const std::string& name, const TagEdits& edits, x91_threads* threads);

// The listing of the named file, one line each: the length, the rate, the
// encoder's quality, the check's verdict, then each tag as NAME=VALUE and each picture.
Result ListXFile(const std::string& name, x91_threads* threads, std::string& listing);

}  // namespace x91::cli
