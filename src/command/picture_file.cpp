#include "command/picture_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "x91/constants.h"

namespace x91::cli {

namespace {

std::uint32_t byte_at(const std::string& d, std::size_t i) {
    return i < d.size() ? static_cast<unsigned char>(d[i]) : 0;
}
std::uint32_t be16(const std::string& d, std::size_t i) {
    return byte_at(d, i) << 8 | byte_at(d, i + 1);
}
std::uint32_t be32(const std::string& d, std::size_t i) {
    return be16(d, i) << 16 | be16(d, i + 2);
}
std::uint32_t le16(const std::string& d, std::size_t i) {
    return byte_at(d, i) | byte_at(d, i + 1) << 8;
}
std::uint32_t le24(const std::string& d, std::size_t i) {
    return le16(d, i) | byte_at(d, i + 2) << 16;
}
bool starts(const std::string& d, std::size_t at, const char* magic) {
    return d.compare(at, std::strlen(magic), magic) == 0;
}

// The frame header (SOFn) holds precision, height, width and components;
// the segments before it are skipped by their lengths.
void describe_jpeg(Picture& p) {
    const std::string& d = p.data;
    std::size_t at = 2;
    while (at + 9 < d.size() && byte_at(d, at) == 0xFF) {
        const std::uint32_t marker = byte_at(d, at + 1);
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            p.height = be16(d, at + 5);
            p.width = be16(d, at + 7);
            p.depth = byte_at(d, at + 4) * byte_at(d, at + 9);
            return;
        }
        at += 2 + be16(d, at + 2);
    }
}

// IHDR comes first: width, height, bit depth and colour type; an indexed
// image's palette (PLTE) gives its colours, 3 bytes each.
void describe_png(Picture& p) {
    const std::string& d = p.data;
    constexpr std::uint32_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    p.width = be32(d, 16);
    p.height = be32(d, 20);
    const std::uint32_t colour_type = byte_at(d, 25);
    p.depth = byte_at(d, 24) * (colour_type < 7 ? kChannels[colour_type] : 0);
    if (colour_type == 3 && starts(d, 37, "PLTE")) p.colours = be32(d, 33) / 3;
}

// The screen size, and the global colour table's size when there is one.
void describe_gif(Picture& p) {
    const std::string& d = p.data;
    p.width = le16(d, 6);
    p.height = le16(d, 8);
    const std::uint32_t flags = byte_at(d, 10);
    if (flags & 0x80) p.colours = 1u << ((flags & 7) + 1);
}

// The canvas of an extended file (VP8X), or the frame of a simple lossy
// (VP8) or lossless (VP8L) one.
void describe_webp(Picture& p) {
    const std::string& d = p.data;
    if (starts(d, 12, "VP8X")) {
        p.width = le24(d, 24) + 1;
        p.height = le24(d, 27) + 1;
    } else if (starts(d, 12, "VP8 ")) {
        p.width = le16(d, 26) & 0x3FFF;
        p.height = le16(d, 28) & 0x3FFF;
    } else if (starts(d, 12, "VP8L")) {
        const std::uint32_t bits = le16(d, 21) | le16(d, 23) << 16;
        p.width = (bits & 0x3FFF) + 1;
        p.height = (bits >> 14 & 0x3FFF) + 1;
    }
}

}  // namespace

void describe_image(Picture& p) {
    const std::string& d = p.data;
    p.width = p.height = p.depth = p.colours = 0;
    if (starts(d, 0, "\xFF\xD8\xFF")) {
        p.mime_type = "image/jpeg";
        describe_jpeg(p);
    } else if (starts(d, 0, "\x89PNG\r\n\x1A\n")) {
        p.mime_type = "image/png";
        describe_png(p);
    } else if (starts(d, 0, "GIF87a") || starts(d, 0, "GIF89a")) {
        p.mime_type = "image/gif";
        describe_gif(p);
    } else if (starts(d, 0, "RIFF") && starts(d, 8, "WEBP")) {
        p.mime_type = "image/webp";
        describe_webp(p);
    } else {
        p.mime_type = "application/octet-stream";
    }
}

Result picture_from_file(const std::string& name, Picture& picture) {
    // One byte past what any block holds is enough to know it will not fit,
    // so a huge file costs no more memory than that.
    constexpr std::size_t kMostRead = X91_MAX_EXTENSION_BYTES + 1;
    std::ifstream in(name, std::ios::binary);
    std::string bytes(in ? kMostRead : 0, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    bytes.shrink_to_fit();
    if (!in && !in.eof())
        return {Status::read_failed,
                "cannot read picture " + name + ": " + std::strerror(errno ? errno : EIO)};
    if (bytes.empty()) return {Status::invalid_argument, "picture " + name + " is empty"};
    picture = Picture{};
    picture.data = std::move(bytes);
    describe_image(picture);
    return {};
}

}  // namespace x91::cli
