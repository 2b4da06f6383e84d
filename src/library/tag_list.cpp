#include "library/tag_list.h"

#include "format/extension_block.h"
#include "format/tag_text.h"

namespace x91 {

namespace {

constexpr std::size_t kFieldHeadBytes = 8;

}  // namespace

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

std::size_t tag_field_bytes(const Tag& tag) {
    return kFieldHeadBytes + tag.name.size() + 1 + tag.value.size();
}

// The fixed fields: frames (8 bytes), lead-in and stream CRC (4 each).
std::size_t extension_tag_room() {
    constexpr std::size_t kFixedFields = 3 * kFieldHeadBytes + 8 + 4 + 4;
    return kMaxExtensionSize - kExtensionHeadSize - kExtensionFooterSize - kFixedFields;
}

}  // namespace x91
