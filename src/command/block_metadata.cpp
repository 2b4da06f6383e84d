#include "command/block_metadata.h"

namespace x91::cli {

namespace {

Picture from_library(const x91_picture& p) {
    Picture picture{p.type, p.mime_type, p.description, p.width, p.height, p.depth, p.colours, {}};
    picture.data.assign(reinterpret_cast<const char*>(p.data), p.size);
    return picture;
}

// Reads count tags and pictures through the given calls of a decoder or a
// block.
template <class Handle, class TagCall, class PictureCall>
Metadata read_metadata(const Handle* handle, std::size_t tags, TagCall tag, std::size_t pictures,
                       PictureCall picture) {
    Metadata metadata;
    for (std::size_t i = 0; i < tags; ++i) {
        const char *name = nullptr, *value = nullptr;
        if (tag(handle, i, &name, &value) == X91_OK) metadata.tags.push_back({name, value});
    }
    for (std::size_t i = 0; i < pictures; ++i) {
        x91_picture p{};
        if (picture(handle, i, &p) == X91_OK) metadata.pictures.push_back(from_library(p));
    }
    return metadata;
}

}  // namespace

Metadata decoder_metadata(const x91_decoder* decoder) {
    return read_metadata(decoder, x91_decoder_tag_count(decoder), x91_decoder_tag,
                         x91_decoder_picture_count(decoder), x91_decoder_picture);
}

Metadata block_metadata(const x91_block* block) {
    return read_metadata(block, x91_block_tag_count(block), x91_block_tag,
                         x91_block_picture_count(block), x91_block_picture);
}

x91_picture library_picture(const Picture& p) {
    return {p.type,
            p.mime_type.c_str(),
            p.description.c_str(),
            p.width,
            p.height,
            p.depth,
            p.colours,
            reinterpret_cast<const std::uint8_t*>(p.data.data()),
            p.data.size()};
}

}  // namespace x91::cli
