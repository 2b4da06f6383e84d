// Tags between the public form (name and value) and the block's form
// ("NAME=VALUE").
#pragma once

#include <string>
#include <vector>

#include "x91/x91.h"

namespace x91 {

// ok, or invalid_argument naming the first tag a block cannot carry.
Result texts_from_tags(const std::vector<Tag>& tags, std::vector<std::string>& texts);

// Texts already checked as tags (a parsed block's).
std::vector<Tag> tags_from_texts(const std::vector<std::string>& texts);

}  // namespace x91
