#include "stream/tags.h"

#include "format/tag_text.h"

namespace x91 {

Result texts_from_tags(const std::vector<Tag>& tags, std::vector<std::string>& texts) {
    std::vector<std::string> made;
    for (const Tag& tag : tags) {
        if (!valid_tag_name(tag.name))
            return {Status::invalid_argument,
                    "a tag name is printable ASCII without '=', not '" + tag.name + "'"};
        if (!valid_utf8(tag.value))
            return {Status::invalid_argument, "the value of tag " + tag.name + " is not UTF-8"};
        made.push_back(tag.name + "=" + tag.value);
    }
    texts = std::move(made);
    return {};
}

std::vector<Tag> tags_from_texts(const std::vector<std::string>& texts) {
    std::vector<Tag> tags;
    for (const std::string& text : texts) {
        const std::size_t equals = text.find('=');
        tags.push_back({text.substr(0, equals), text.substr(equals + 1)});
    }
    return tags;
}

}  // namespace x91
