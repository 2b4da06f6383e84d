#include "format/settings_io.h"

#include <array>
#include <cstring>

#include "storage/memory_stream.h"

namespace x91 {

namespace {

constexpr int kRecordBytes = 28;
constexpr int kFeatureBytes = 3;
constexpr int kIdBytes = 3;

// The seven 4-byte fields of each stored record, in file order; const or
// not as the record is.
template <class D>
auto fields_of_d(D& s) {
    return std::array{&s.global.lines,    &s.intensity.bands,   &s.intensity.steps,
                      &s.intensity.range, &s.side_stereo.bands, &s.side_stereo.levels,
                      &s.group.frames};
}

template <class I>
auto fields_of_i(I& s) {
    return std::array{&s.masking.level_scale, &s.masking.downward_base, &s.masking.upward_base,
                      &s.masking.reserved4,   &s.masking.reserved5,     &s.masking.reserved6,
                      &s.quantize.base};
}

// Records are moved field by field through little-endian byte images, so
// the file layout holds on any host whatever the compiler does with padding.
template <std::size_t N, class T>
void encode_fields(const std::array<const T*, N>& fields, unsigned char* out) {
    for (std::size_t k = 0; k < N; ++k) storage_detail::to_bytes(*fields[k], out + 4 * k);
}

template <std::size_t N, class T>
void decode_fields(const unsigned char* in, const std::array<T*, N>& fields) {
    for (std::size_t k = 0; k < N; ++k) storage_detail::from_bytes(in + 4 * k, *fields[k]);
}

void encode(const da_DSettings& s, unsigned char* out) {
    encode_fields(fields_of_d(s), out);
}
void decode(const unsigned char* in, da_DSettings& s) {
    decode_fields(in, fields_of_d(s));
}
void encode(const da_ISettings& s, unsigned char* out) {
    encode_fields(fields_of_i(s), out);
}
void decode(const unsigned char* in, da_ISettings& s) {
    decode_fields(in, fields_of_i(s));
}

void encode(const da_CodeFeatures& f, unsigned char* out) {
    std::memcpy(out, f.reserved, kFeatureBytes);
}

void decode(const unsigned char* in, da_CodeFeatures& f) {
    std::memcpy(f.reserved, in, kFeatureBytes);
}

void encode(const int& value, unsigned char* out) {
    storage_detail::to_bytes(value, out);
}
void decode(const unsigned char* in, int& value) {
    storage_detail::from_bytes(in, value);
}

template <int Bytes, class T>
OutputStream& put(OutputStream& out, const T& value) {
    unsigned char image[Bytes];
    encode(value, image);
    out.write(reinterpret_cast<const char*>(image), Bytes);
    return out;
}

// Starts from the target's own image so that bytes a short read does not
// reach keep their old values.
template <int Bytes, class T>
InputStream& get(InputStream& in, T& value) {
    unsigned char image[Bytes];
    unsigned char incoming[Bytes];
    encode(value, image);
    const int got = in.read(reinterpret_cast<char*>(incoming), Bytes);
    if (got > 0) std::memcpy(image, incoming, static_cast<std::size_t>(got));
    decode(image, value);
    return in;
}

}  // namespace

OutputStream& operator<<(OutputStream& out, const da_DSettings& s) {
    return put<kRecordBytes>(out, s);
}
OutputStream& operator<<(OutputStream& out, const da_ISettings& s) {
    return put<kRecordBytes>(out, s);
}
OutputStream& operator<<(OutputStream& out, const da_CodeFeatures& f) {
    return put<kFeatureBytes>(out, f);
}
OutputStream& operator<<(OutputStream& out, const int& value) {
    return put<4>(out, value);
}
InputStream& operator>>(InputStream& in, da_DSettings& s) {
    return get<kRecordBytes>(in, s);
}
InputStream& operator>>(InputStream& in, da_ISettings& s) {
    return get<kRecordBytes>(in, s);
}
InputStream& operator>>(InputStream& in, da_CodeFeatures& f) {
    return get<kFeatureBytes>(in, f);
}
InputStream& operator>>(InputStream& in, int& value) {
    return get<4>(in, value);
}

std::array<unsigned char, kHeaderBytes> x91_header_image(const HeaderSettings& settings) {
    std::array<unsigned char, kHeaderBytes> image;
    std::memcpy(image.data(), XFileExt, kIdBytes);
    encode(settings.features, image.data() + kIdBytes);
    encode(settings.dsettings, image.data() + kIdBytes + kFeatureBytes);
    encode(settings.isettings, image.data() + kIdBytes + kFeatureBytes + kRecordBytes);
    return image;
}

bool write_x91_header(OutputStream& out, const HeaderSettings& settings) {
    const auto image = x91_header_image(settings);
    return out.write(reinterpret_cast<const char*>(image.data()), X91_HEADER_BYTES) ==
           X91_HEADER_BYTES;
}

Result read_x91_header(InputStream& in, std::optional<CheckedSettings>& settings) {
    settings.reset();
    char id[kIdBytes];
    if (in.read(id, kIdBytes) != kIdBytes || std::memcmp(id, XFileExt, kIdBytes) != 0) {
        return {Status::not_x91, "not an x91 file"};
    }
    constexpr int kRecords = X91_HEADER_BYTES - kIdBytes;
    unsigned char image[kRecords];
    if (in.read(reinterpret_cast<char*>(image), kRecords) != kRecords) {
        return {Status::cut_short, "x91 header cut short"};
    }
    HeaderSettings read;
    decode(image, read.features);
    decode(image + kFeatureBytes, read.dsettings);
    decode(image + kFeatureBytes + kRecordBytes, read.isettings);
    return check_settings(read, settings);
}

Result parse_x91_header(const unsigned char* data, std::size_t size,
                        std::optional<CheckedSettings>& settings) {
    MemoryStream in(data, data == nullptr ? 0 : size);
    return read_x91_header(in, settings);
}

}  // namespace x91
