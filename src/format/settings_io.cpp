#include "format/settings_io.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

namespace x91 {

namespace {

constexpr int kRecordBytes = 28;
constexpr int kFeatureBytes = 3;
constexpr int kIdBytes = 3;

// Records are moved field by field through little-endian byte images, so
// the file layout holds on any host whatever the compiler does with padding.
void encode(const da_DSettings& s, unsigned char* out) {
    const int values[7] = {s.global.lines,    s.intensity.bands,   s.intensity.steps,
                           s.intensity.range, s.side_stereo.bands, s.side_stereo.levels,
                           s.group.frames};
    for (int k = 0; k < 7; ++k) storage_detail::to_bytes(values[k], out + 4 * k);
}

void decode(const unsigned char* in, da_DSettings& s) {
    int* const fields[7] = {&s.global.lines,    &s.intensity.bands,   &s.intensity.steps,
                            &s.intensity.range, &s.side_stereo.bands, &s.side_stereo.levels,
                            &s.group.frames};
    for (int k = 0; k < 7; ++k) storage_detail::from_bytes(in + 4 * k, *fields[k]);
}

void encode(const da_ISettings& s, unsigned char* out) {
    const float values[7] = {s.masking.level_scale, s.masking.downward_base, s.masking.upward_base,
                             s.masking.reserved4,   s.masking.reserved5,     s.masking.reserved6,
                             s.quantize.base};
    for (int k = 0; k < 7; ++k) storage_detail::to_bytes(values[k], out + 4 * k);
}

void decode(const unsigned char* in, da_ISettings& s) {
    float* const fields[7] = {&s.masking.level_scale, &s.masking.downward_base,
                              &s.masking.upward_base, &s.masking.reserved4,
                              &s.masking.reserved5,   &s.masking.reserved6,
                              &s.quantize.base};
    for (int k = 0; k < 7; ++k) storage_detail::from_bytes(in + 4 * k, *fields[k]);
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

// The shortest text that reads back as the same float, so a refused value
// just above a bound never prints as the bound itself.
std::string field_value(const char* field, float value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(field) + ' ' + std::string(digits, end);
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

bool write_x91_header(OutputStream& out, const da_CodeFeatures& features,
                      const da_DSettings& dsettings, const da_ISettings& isettings) {
    unsigned char image[X91_HEADER_BYTES];
    std::memcpy(image, XFileExt, kIdBytes);
    encode(features, image + kIdBytes);
    encode(dsettings, image + kIdBytes + kFeatureBytes);
    encode(isettings, image + kIdBytes + kFeatureBytes + kRecordBytes);
    return out.write(reinterpret_cast<const char*>(image), X91_HEADER_BYTES) == X91_HEADER_BYTES;
}

X91HeaderRead read_x91_header(InputStream& in, da_CodeFeatures& features, da_DSettings& dsettings,
                              da_ISettings& isettings) {
    char id[kIdBytes];
    if (in.read(id, kIdBytes) != kIdBytes || std::memcmp(id, XFileExt, kIdBytes) != 0) {
        return {X91HeaderState::not_x91, "not an x91 file"};
    }
    constexpr int kRecords = X91_HEADER_BYTES - kIdBytes;
    unsigned char image[kRecords];
    if (in.read(reinterpret_cast<char*>(image), kRecords) != kRecords) {
        return {X91HeaderState::cut_short, "x91 header cut short"};
    }
    da_CodeFeatures f;
    da_DSettings d;
    da_ISettings i;
    decode(image, f);
    decode(image + kFeatureBytes, d);
    decode(image + kFeatureBytes + kRecordBytes, i);
    if (std::string problem = x91_settings_problem(d, i); !problem.empty()) {
        return {X91HeaderState::damaged, "x91 header damaged: " + problem};
    }
    features = f;
    dsettings = d;
    isettings = i;
    return {};
}

// The decoder sizes its tables and runs its loops from the stored settings,
// so every value it depends on is bounded here, the one place where a file
// enters. The bounds admit every sensible encoder setting:
// - line count 56..1764: at least one 56-line block, and every per-line
//   table stays small;
// - band counts 1..lines-1: every band keeps at least one line of its own;
// - step and level counts 2..1024: an index needs two values to mean
//   anything, and 1024 keeps the matrices' moduli small;
// - level range 1..600: larger ranges push the envelope floor below float's
//   smallest values;
// - frames per packet 1..256: a packet holds a frame, and a group's memory
//   stays bounded;
// - masking level scale finite and > 0: the spectra are divided by the curve;
// - downward and upward bases in (0, 1]: they are decays per Bark;
// - quantiser base in (1, 1000]: the logarithm needs a base above 1, and
//   beyond 1000 every line quantises to almost nothing.
// The three reserved masking values and the code features drive nothing and
// are not checked.
std::string x91_settings_problem(const da_DSettings& d, const da_ISettings& i) {
    struct IntCheck {
        const char* field;
        int value;
        int low;
        int high;
    };
    const int lines = d.global.lines;
    // The band bounds derive from the line count, so it is checked first.
    if (lines < 56 || lines > 1764) return "line count " + std::to_string(lines);
    const IntCheck ints[] = {
        {"intensity band count", d.intensity.bands, 1, lines - 1},
        {"intensity step count", d.intensity.steps, 2, 1024},
        {"level range", d.intensity.range, 1, 600},
        {"side-stereo band count", d.side_stereo.bands, 1, lines - 1},
        {"side-stereo level count", d.side_stereo.levels, 2, 1024},
        {"frames per packet", d.group.frames, 1, 256},
    };
    for (const IntCheck& c : ints) {
        if (c.value < c.low || c.value > c.high) {
            return std::string(c.field) + ' ' + std::to_string(c.value);
        }
    }

    // Each real must be finite, above low and at most high.
    struct RealCheck {
        const char* field;
        float value;
        float low;
        float high;
    };
    const RealCheck reals[] = {
        {"masking level scale", i.masking.level_scale, 0.0f, FLT_MAX},
        {"downward base", i.masking.downward_base, 0.0f, 1.0f},
        {"upward base", i.masking.upward_base, 0.0f, 1.0f},
        {"quantiser base", i.quantize.base, 1.0f, 1000.0f},
    };
    for (const RealCheck& c : reals) {
        if (!std::isfinite(c.value) || !(c.value > c.low) || !(c.value <= c.high)) {
            return field_value(c.field, c.value);
        }
    }
    return {};
}

}  // namespace x91
