#include "wave/riff_info.h"

#include <cstring>

namespace x91 {

namespace {

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// Byte by byte like put32: GCC 12 takes a range insert into the empty
// vector for an overflow and warns.
void put_id(std::vector<unsigned char>& out, Id4 id) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(id.c[i]));
}

}  // namespace

std::vector<InfoText> parse_info_list(const unsigned char* body, std::size_t size) {
    std::vector<InfoText> texts;
    if (size < 4 || !(Id4(reinterpret_cast<const char*>(body)) == ID4_INFO)) return texts;
    std::size_t at = 4;
    while (size - at >= 8) {
        const Id4 id(reinterpret_cast<const char*>(body + at));
        const std::uint32_t length = le32(body + at + 4);
        at += 8;
        if (length > size - at) break;
        const char* text = reinterpret_cast<const char*>(body + at);
        // Writers end the text with one or more NULs; some pad with spaces too.
        std::size_t n = length;
        while (n > 0 && text[n - 1] == '\0') --n;
        texts.push_back({id, std::string(text, strnlen(text, n))});
        at += length + (length % 2);
        if (at > size) break;
    }
    return texts;
}

std::vector<unsigned char> info_list_image(const std::vector<InfoText>& texts) {
    std::vector<unsigned char> chunk;
    if (texts.empty()) return chunk;
    // The list's head reserved up front: GCC 12 otherwise warns falsely
    // (-Wstringop-overflow) about the first bytes growing an empty vector.
    chunk.reserve(12);
    put_id(chunk, ID4_LIST);
    put32(chunk, 0);  // the size, known at the end
    put_id(chunk, ID4_INFO);
    for (const InfoText& t : texts) {
        const std::size_t length = t.text.size() + 1;  // with its NUL
        put_id(chunk, t.id);
        put32(chunk, static_cast<std::uint32_t>(length));
        chunk.insert(chunk.end(), t.text.begin(), t.text.end());
        chunk.push_back(0);
        if (length % 2 == 1) chunk.push_back(0);
    }
    const auto body = static_cast<std::uint32_t>(chunk.size() - 8);
    for (int i = 0; i < 4; ++i) chunk[4 + i] = static_cast<unsigned char>(body >> (8 * i));
    return chunk;
}

}  // namespace x91
