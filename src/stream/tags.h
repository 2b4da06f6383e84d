// Tags of an input as the stream's extension block carries them: a name and
// a value here, "NAME=VALUE" in the block (the form of Vorbis comments).
#pragma once

#include <string>
#include <vector>

#include "x91/status.h"

namespace x91 {

// A NAME of printable ASCII without '=' (TITLE, ARTIST, ...; players compare
// names without regard to case) and a UTF-8 VALUE, as in the Vorbis
// comments of FLAC files.
struct Tag {
    std::string name;
    std::string value;
};

// ok, or invalid_argument naming the first tag a block cannot carry.
Result texts_from_tags(const std::vector<Tag>& tags, std::vector<std::string>& texts);

// Texts already checked as tags (a parsed block's).
std::vector<Tag> tags_from_texts(const std::vector<std::string>& texts);

}  // namespace x91
