#include "command/taglib_metadata.h"

#include <taglib/aifffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <fstream>

#include "command/picture_file.h"
#include "command/tag_names.h"

namespace x91::cli {

namespace {

enum class Kind { other, flac, wave, aiff };

Kind kind_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[12] = {};
    in.read(head, sizeof head);
    const std::string h(head, static_cast<std::size_t>(in.gcount()));
    if (h.rfind("fLaC", 0) == 0) return Kind::flac;
    if (h.size() == 12 && h.compare(8, 4, "WAVE") == 0 && h.rfind("RIFF", 0) == 0)
        return Kind::wave;
    if (h.size() == 12 && h.rfind("FORM", 0) == 0 &&
        (h.compare(8, 4, "AIFF") == 0 || h.compare(8, 4, "AIFC") == 0))
        return Kind::aiff;
    return Kind::other;
}

std::string utf8(const TagLib::String& s) {
    return s.to8Bit(true);
}
TagLib::String text(const std::string& s) {
    return TagLib::String(s, TagLib::String::UTF8);
}
std::string bytes(const TagLib::ByteVector& v) {
    return std::string(v.data(), v.size());
}
TagLib::ByteVector byte_vector(const std::string& s) {
    return TagLib::ByteVector(s.data(), static_cast<unsigned int>(s.size()));
}

bool has_name(const std::vector<Tag>& tags, const std::string& name) {
    return std::any_of(tags.begin(), tags.end(), [&](const Tag& t) { return t.name == name; });
}

void read_property_map(const TagLib::PropertyMap& map, std::vector<Tag>& tags) {
    for (const auto& [name, values] : map)
        for (const TagLib::String& value : values) tags.push_back({utf8(name), utf8(value)});
}

// APIC frames: type, MIME type, description and image; the size and depth,
// which ID3 does not hold, from the image's own header.
void read_id3_pictures(const TagLib::ID3v2::Tag& tag, std::vector<Picture>& pictures) {
    for (TagLib::ID3v2::Frame* frame : tag.frameList("APIC")) {
        const auto* apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (apic == nullptr) continue;
        Picture p;
        p.data = bytes(apic->picture());
        describe_image(p);
        p.type = static_cast<std::uint32_t>(apic->type());
        if (!apic->mimeType().isEmpty()) p.mime_type = apic->mimeType().to8Bit();
        p.description = utf8(apic->description());
        pictures.push_back(std::move(p));
    }
}

void read_flac(TagLib::FLAC::File& file, Metadata& out) {
    if (TagLib::Ogg::XiphComment* comment = file.xiphComment(false))
        for (const auto& [name, values] : comment->fieldListMap())
            for (const TagLib::String& value : values)
                out.tags.push_back({canonical_tag_name(utf8(name)), utf8(value)});
    for (const TagLib::FLAC::Picture* picture : file.pictureList()) {
        Picture p;
        p.type = static_cast<std::uint32_t>(picture->type());
        p.mime_type = picture->mimeType().to8Bit();
        p.description = utf8(picture->description());
        p.width = static_cast<std::uint32_t>(picture->width());
        p.height = static_cast<std::uint32_t>(picture->height());
        p.depth = static_cast<std::uint32_t>(picture->colorDepth());
        p.colours = static_cast<std::uint32_t>(picture->numColors());
        p.data = bytes(picture->data());
        out.pictures.push_back(std::move(p));
    }
}

// The ID3 tags and pictures, then the INFO texts of names ID3 lacks.
void read_wave(TagLib::RIFF::WAV::File& file, const std::vector<Tag>& info_tags, Metadata& out) {
    if (file.hasID3v2Tag()) {
        read_property_map(file.ID3v2Tag()->properties(), out.tags);
        read_id3_pictures(*file.ID3v2Tag(), out.pictures);
    }
    const std::vector<Tag> from_id3 = out.tags;
    for (const Tag& tag : info_tags)
        if (!has_name(from_id3, tag.name)) out.tags.push_back(tag);
}

// Fills an ID3v2 tag: the tags through TagLib's names for its frames
// (TITLE is TIT2, TRACKNUMBER TRCK, ...; names without a frame become TXXX
// frames), each picture an APIC frame.
void fill_id3(TagLib::ID3v2::Tag& tag, const std::vector<Tag>& tags,
              const std::vector<Picture>& pictures) {
    TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF8);
    TagLib::PropertyMap map;
    for (const Tag& t : tags) map[text(t.name)].append(text(t.value));
    tag.setProperties(map);
    tag.removeFrames("APIC");
    for (const Picture& p : pictures) {
        auto* apic = new TagLib::ID3v2::AttachedPictureFrame;
        apic->setTextEncoding(TagLib::String::UTF8);
        apic->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(p.type));
        apic->setMimeType(p.mime_type);
        apic->setDescription(text(p.description));
        apic->setPicture(byte_vector(p.data));
        tag.addFrame(apic);
    }
}

Result write_flac(TagLib::FLAC::File& file, const Metadata& metadata) {
    TagLib::Ogg::XiphComment* comment = file.xiphComment(true);
    comment->removeAllFields();
    for (const Tag& t : metadata.tags) comment->addField(text(t.name), text(t.value), false);
    file.removePictures();
    for (const Picture& p : metadata.pictures) {
        auto* picture = new TagLib::FLAC::Picture;
        picture->setType(static_cast<TagLib::FLAC::Picture::Type>(p.type));
        picture->setMimeType(p.mime_type);
        picture->setDescription(text(p.description));
        picture->setWidth(static_cast<int>(p.width));
        picture->setHeight(static_cast<int>(p.height));
        picture->setColorDepth(static_cast<int>(p.depth));
        picture->setNumColors(static_cast<int>(p.colours));
        picture->setData(byte_vector(p.data));
        file.addPicture(picture);
    }
    return file.save() ? Result{} : Result{Status::write_failed, "cannot write tags"};
}

}  // namespace

bool read_file_metadata(const std::string& path, const std::vector<Tag>& info_tags,
                        Metadata& metadata) {
    Metadata read;
    switch (kind_of(path)) {
        case Kind::flac: {
            TagLib::FLAC::File file(path.c_str(), false);
            if (!file.isValid()) return false;
            read_flac(file, read);
            break;
        }
        case Kind::wave: {
            TagLib::RIFF::WAV::File file(path.c_str(), false);
            if (!file.isValid()) return false;
            read_wave(file, info_tags, read);
            break;
        }
        case Kind::aiff: {
            TagLib::RIFF::AIFF::File file(path.c_str(), false);
            if (!file.isValid()) return false;
            if (file.hasID3v2Tag()) {
                read_property_map(file.tag()->properties(), read.tags);
                read_id3_pictures(*file.tag(), read.pictures);
            }
            break;
        }
        case Kind::other:
            return false;
    }
    metadata = std::move(read);
    return true;
}

Result write_file_metadata(const std::string& path, const Metadata& metadata) {
    const Kind kind = kind_of(path);
    if (kind == Kind::flac) {
        TagLib::FLAC::File file(path.c_str(), false);
        if (file.isValid()) return write_flac(file, metadata);
    } else if (kind == Kind::aiff) {
        TagLib::RIFF::AIFF::File file(path.c_str(), false);
        if (file.isValid()) {
            fill_id3(*file.tag(), metadata.tags, metadata.pictures);
            if (file.save()) return {};
        }
    }
    return {Status::write_failed, "cannot write tags"};
}

std::vector<unsigned char> id3_chunk(const std::vector<Tag>& tags,
                                     const std::vector<Picture>& pictures) {
    if (tags.empty() && pictures.empty()) return {};
    TagLib::ID3v2::Tag tag;
    fill_id3(tag, tags, pictures);
    const TagLib::ByteVector image = tag.render(TagLib::ID3v2::v4);
    const auto size = static_cast<std::uint32_t>(image.size());
    std::vector<unsigned char> chunk = {'i', 'd', '3', ' '};
    for (int i = 0; i < 4; ++i) chunk.push_back(static_cast<unsigned char>(size >> (8 * i)));
    chunk.insert(chunk.end(), image.begin(), image.end());
    if (chunk.size() % 2 != 0) chunk.push_back(0);
    return chunk;
}

}  // namespace x91::cli
