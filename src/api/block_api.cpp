// The C interface's extension block on its own: a finished file's tags and
// pictures read, changed and written again without its packets.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "api/api_status.h"
#include "api/picture_conversion.h"
#include "format/crc32.h"
#include "format/extension_block.h"
#include "format/limits.h"
#include "stream/tags.h"
#include "x91/x91.h"

struct x91_block {
    x91::ExtensionContent content;
    std::vector<x91::Tag> tags;  // content.tags split, for x91_block_tag
    std::vector<unsigned char> image;
    std::string last_error;
};

namespace x91 {
namespace {

// Keeps a change only when the block still fits its ceiling.
Result change(x91_block& block, const ExtensionContent& changed) {
    std::vector<unsigned char> made = extension_block_image(changed);
    if (made.size() > kMaxExtensionBytes)
        return {Status::invalid_argument, "the block would pass its 16 MiB"};
    block.content = changed;
    block.tags = tags_from_texts(changed.tags);
    block.image = std::move(made);
    return {};
}

std::string upper(std::string name) {
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
}

// The tags ("NAME=VALUE") without those of the name, or all for a null name.
Result remove_tags(x91_block& block, const char* name) {
    ExtensionContent changed = block.content;
    std::vector<std::string> kept;
    for (std::string& tag : changed.tags)
        if (name != nullptr && upper(tag.substr(0, tag.find('='))) != upper(name))
            kept.push_back(std::move(tag));
    changed.tags = std::move(kept);
    return change(block, changed);
}

x91_status make_block(x91_block** block, const x91::ExtensionContent& content) {
    if (block == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *block = nullptr;
    return guarded(thread_last_error(), [&] {
        auto made = std::make_unique<x91_block>();
        if (x91::Result fits = change(*made, content); !fits) return fits;
        *block = made.release();
        return x91::Result{};
    });
}

}  // namespace
}  // namespace x91

extern "C" {

x91_status x91_block_open(x91_block** block, const uint8_t* bytes, size_t size) {
    if (block != nullptr) *block = nullptr;
    if (block == nullptr || bytes == nullptr) return X91_ERR_INVALID_ARGUMENT;
    x91::ExtensionContent content;
    const x91_status parsed = x91::guarded(
        x91::thread_last_error(), [&] { return x91::parse_extension_block(bytes, size, content); });
    return parsed == X91_OK ? x91::make_block(block, content) : parsed;
}

x91_status x91_block_create(x91_block** block, uint64_t frames, uint32_t lead_in,
                            uint32_t stream_crc) {
    x91::ExtensionContent content;
    content.frames = frames;
    content.lead_in = lead_in;
    content.stream_crc = stream_crc;
    return x91::make_block(block, content);
}

void x91_block_destroy(x91_block* block) {
    delete block;
}

size_t x91_block_tag_count(const x91_block* block) {
    return block ? block->tags.size() : 0;
}

x91_status x91_block_tag(const x91_block* block, size_t index, const char** name,
                         const char** value) {
    if (block == nullptr || index >= block->tags.size()) return X91_ERR_INVALID_ARGUMENT;
    if (name) *name = block->tags[index].name.c_str();
    if (value) *value = block->tags[index].value.c_str();
    return X91_OK;
}

size_t x91_block_picture_count(const x91_block* block) {
    return block ? block->content.pictures.size() : 0;
}

x91_status x91_block_picture(const x91_block* block, size_t index, x91_picture* picture) {
    if (block == nullptr || picture == nullptr || index >= block->content.pictures.size())
        return X91_ERR_INVALID_ARGUMENT;
    x91::picture_to_c(block->content.pictures[index], picture);
    return X91_OK;
}

x91_status x91_block_add_tag(x91_block* block, const char* name, const char* value) {
    if (block == nullptr || name == nullptr || value == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(block->last_error, [&] {
        x91::ExtensionContent changed = block->content;
        std::vector<std::string> text;
        if (x91::Result valid = x91::texts_from_tags({{name, value}}, text); !valid) return valid;
        changed.tags.push_back(std::move(text.front()));
        return x91::change(*block, changed);
    });
}

x91_status x91_block_add_picture(x91_block* block, const x91_picture* picture) {
    if (block == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(block->last_error, [&] {
        x91::ExtensionContent changed = block->content;
        x91::Picture copy;
        const std::vector<unsigned char> body = x91::picture_from_c(picture, copy)
                                                    ? x91::picture_field_body(copy)
                                                    : std::vector<unsigned char>{};
        if (body.empty() || !x91::parse_picture_field(body.data(), body.size(), copy))
            return x91::Result{
                x91::Status::invalid_argument,
                "a picture's MIME type is printable ASCII and its description UTF-8"};
        changed.pictures.push_back(std::move(copy));
        return x91::change(*block, changed);
    });
}

x91_status x91_block_remove_tags(x91_block* block, const char* name) {
    if (block == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(block->last_error, [&] { return x91::remove_tags(*block, name); });
}

x91_status x91_block_remove_pictures(x91_block* block) {
    if (block == nullptr) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(block->last_error, [&] {
        x91::ExtensionContent changed = block->content;
        changed.pictures.clear();
        return x91::change(*block, changed);
    });
}

x91_status x91_block_image(x91_block* block, const uint8_t** data, size_t* size) {
    if (block == nullptr || data == nullptr || size == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *data = block->image.data();
    *size = block->image.size();
    return X91_OK;
}

uint32_t x91_crc32(uint32_t crc, const uint8_t* data, size_t size) {
    return data == nullptr ? crc : x91::crc32_update(crc, data, size);
}

}  // extern "C"
