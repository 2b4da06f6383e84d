#include "command/audio_input/declared_length.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace x91::cli {

namespace {

std::uint64_t le(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

std::uint64_t be32(const unsigned char* p) {
    return std::uint64_t{p[0]} << 24 | std::uint64_t{p[1]} << 16 | std::uint64_t{p[2]} << 8 | p[3];
}

bool starts(const unsigned char* head, std::size_t n, const char* magic, std::size_t at = 0) {
    const std::size_t length = std::strlen(magic);
    return n >= at + length && std::memcmp(head + at, magic, length) == 0;
}

// W64 names its chunks by GUIDs; the outer one is "riff" followed by these
// twelve bytes, then the file's whole length as a 64-bit count.
constexpr unsigned char kW64RiffTail[12] = {0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6,
                                            0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};

// Writers that count their own 8-byte head in the size, or a pad byte they
// leave out, declare a few bytes too many; a cut that short loses at most a
// frame or two, so only more counts.
constexpr std::uint64_t kLeeway = 8;

}  // namespace

// Each size is read with the value that leaves it open: all ones in its
// width, or 0. RIFF, RF64 and AIFF sizes count what follows their 8-byte
// head; a W64 size counts the whole file.
std::optional<std::uint64_t> declared_length(const unsigned char* head, std::size_t n) {
    std::uint64_t size = 0;
    std::uint64_t open = 0xFFFFFFFF;
    std::uint64_t head_bytes = 8;
    if (starts(head, n, "riff") && n >= 24 && std::memcmp(head + 4, kW64RiffTail, 12) == 0) {
        size = le(head + 16, 8);
        open = ~std::uint64_t{0};
        head_bytes = 0;
    } else if ((starts(head, n, "RF64") || starts(head, n, "BW64")) &&
               starts(head, n, "ds64", 12) && n >= 28) {
        // RF64 and BW64 keep the RIFF size in the ds64 chunk that must follow.
        size = le(head + 20, 8);
        open = ~std::uint64_t{0};
    } else if (starts(head, n, "RIFF") && n >= 8) {
        size = le(head + 4, 4);
    } else if (starts(head, n, "FORM") && n >= 8) {
        size = be32(head + 4);
    }
    if (size == 0 || size == open) return std::nullopt;
    return size + head_bytes;
}

bool shorter_than_declared(const unsigned char* head, std::size_t n, std::uint64_t length) {
    const std::optional<std::uint64_t> declared = declared_length(head, n);
    return declared && *declared > length + kLeeway;
}

bool file_shorter_than_declared(const std::string& name, std::int64_t size) {
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(name.c_str(), "rb"),
                                                                  &std::fclose);
    if (!file || size < 0) return false;
    unsigned char head[kDeclaredLengthBytes];
    const std::size_t n = std::fread(head, 1, sizeof head, file.get());
    return shorter_than_declared(head, n, static_cast<std::uint64_t>(size));
}

}  // namespace x91::cli
