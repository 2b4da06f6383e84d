// Tags between the public form (name and value) and the block's form
// ("NAME=VALUE").
#pragma once

#include <string>
#include <vector>

#include "library/codec.h"

namespace x91 {

// ok, or invalid_argument naming the first tag a block cannot carry.
Result texts_from_tags(const std::vector<Tag>& tags, std::vector<std::string>& texts);

// Texts already checked as tags (a parsed block's).
std::vector<Tag> tags_from_texts(const std::vector<std::string>& texts);

// The bytes a tag takes in the extension block: a field head and
// "NAME=VALUE".
std::size_t tag_field_bytes(const Tag& tag);
// The bytes the extension block leaves for tag fields in all, beside its
// head, footer and fixed fields.
std::size_t extension_tag_room();

}  // namespace x91
