#include "format/picture_field.h"

#include "format/tag_text.h"

namespace x91 {

namespace {

constexpr std::size_t kFieldHeadBytes = 8;  // the field's id and length
constexpr std::size_t kNumbers = 8;         // the u32 numbers of a body

void put_be32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

// Reads the body front to back, every read checked against its end.
class BodyReader {
  public:
    BodyReader(const unsigned char* at, std::size_t size) : at_(at), left_(size) {}

    bool number(std::uint32_t& v) {
        if (left_ < 4) return false;
        v = static_cast<std::uint32_t>(at_[0]) << 24 | static_cast<std::uint32_t>(at_[1]) << 16 |
            static_cast<std::uint32_t>(at_[2]) << 8 | static_cast<std::uint32_t>(at_[3]);
        skip(4);
        return true;
    }
    template <typename Bytes>
    bool sized(Bytes& out) {
        std::uint32_t n = 0;
        if (!number(n) || n > left_) return false;
        out.assign(at_, at_ + n);
        skip(n);
        return true;
    }
    bool ended() const { return left_ == 0; }

  private:
    void skip(std::size_t n) {
        at_ += n;
        left_ -= n;
    }
    const unsigned char* at_;
    std::size_t left_;
};

}  // namespace

std::vector<unsigned char> picture_field_body(const Picture& picture) {
    std::vector<unsigned char> body;
    body.reserve(picture_field_bytes(picture));
    put_be32(body, picture.type);
    put_be32(body, static_cast<std::uint32_t>(picture.mime_type.size()));
    body.insert(body.end(), picture.mime_type.begin(), picture.mime_type.end());
    put_be32(body, static_cast<std::uint32_t>(picture.description.size()));
    body.insert(body.end(), picture.description.begin(), picture.description.end());
    for (std::uint32_t v : {picture.width, picture.height, picture.depth, picture.colours})
        put_be32(body, v);
    put_be32(body, static_cast<std::uint32_t>(picture.data.size()));
    body.insert(body.end(), picture.data.begin(), picture.data.end());
    return body;
}

std::size_t picture_field_bytes(const Picture& picture) {
    return kFieldHeadBytes + 4 * kNumbers + picture.mime_type.size() + picture.description.size() +
           picture.data.size();
}

bool parse_picture_field(const unsigned char* body, std::size_t size, Picture& out) {
    BodyReader read(body, size);
    Picture p;
    const bool whole = read.number(p.type) && read.sized(p.mime_type) &&
                       read.sized(p.description) && read.number(p.width) && read.number(p.height) &&
                       read.number(p.depth) && read.number(p.colours) && read.sized(p.data) &&
                       read.ended();
    // The MIME type is printable ASCII, the description UTF-8, as in FLAC.
    if (!whole || !valid_utf8(p.description)) return false;
    for (char c : p.mime_type)
        if (c < 0x20 || c > 0x7E) return false;
    out = std::move(p);
    return true;
}

}  // namespace x91
