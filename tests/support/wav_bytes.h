// Builds WAV file images byte by byte, including layouts real tools write
// (extra chunks, odd sizes with pad bytes, the extensible format record),
// and reads and patches the little-endian fields of any file image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace x91test {

using Bytes = std::vector<std::uint8_t>;

// Interleaved stereo samples, left first.
using Pcm = std::vector<std::int16_t>;

inline std::uint32_t le32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

inline void set_le32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

inline void put_id(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(id[i]));
}

inline void append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

// A chunk with its header, body and, for an odd body, the pad byte.
inline Bytes chunk(const char* id, const Bytes& body, bool pad = true) {
    Bytes b;
    put_id(b, id);
    put32(b, static_cast<std::uint32_t>(body.size()));
    append(b, body);
    if (pad && body.size() % 2 == 1) b.push_back(0);
    return b;
}

// The 16-byte format record.
inline Bytes fmt_body(int tag, int channels, int rate, int bits) {
    const int align = channels * bits / 8;
    Bytes b;
    // Sized up front: GCC 12 with ThreadSanitizer otherwise warns falsely
    // (-Warray-bounds) about the copy when the first bytes grow the vector.
    b.reserve(16);
    put16(b, static_cast<std::uint32_t>(tag));
    put16(b, static_cast<std::uint32_t>(channels));
    put32(b, static_cast<std::uint32_t>(rate));
    put32(b, static_cast<std::uint32_t>(rate * align));
    put16(b, static_cast<std::uint32_t>(align));
    put16(b, static_cast<std::uint32_t>(bits));
    return b;
}

inline Bytes cd_fmt_body() {
    return fmt_body(1, 2, 44100, 16);
}

// The 40-byte extensible record with a subformat whose GUID is the standard
// one for the plain tag `subformat` (1 = PCM, 3 = float).
inline Bytes extensible_fmt_body(int channels, int rate, int bits, std::uint32_t subformat,
                                 int cb_size = 22) {
    Bytes b = fmt_body(0xFFFE, channels, rate, bits);
    put16(b, static_cast<std::uint32_t>(cb_size));
    put16(b, static_cast<std::uint32_t>(bits));  // valid bits
    put32(b, channels == 2 ? 3u : 4u);           // channel mask
    put32(b, subformat);
    const std::uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                   0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    b.insert(b.end(), tail, tail + 12);
    return b;
}

// Sample bytes 0, 1, 2, ... (mod 251, so no period lines up with a frame).
inline Bytes samples_bytes(std::size_t n, std::uint8_t seed = 0) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i + seed) % 251);
    return b;
}

// "RIFF" <size> "WAVE" followed by the given chunks; the form size is the
// true one unless riff_size is given.
inline Bytes riff(const std::vector<Bytes>& chunks, std::int64_t riff_size = -1) {
    Bytes body;
    put_id(body, "WAVE");
    for (const Bytes& c : chunks) append(body, c);
    Bytes b;
    put_id(b, "RIFF");
    put32(b, riff_size >= 0 ? static_cast<std::uint32_t>(riff_size)
                            : static_cast<std::uint32_t>(body.size()));
    append(b, body);
    return b;
}

// The canonical 44-byte header followed by the given sample bytes.
inline Bytes canonical_wav(const Bytes& samples) {
    return riff({chunk("fmt ", cd_fmt_body()), chunk("data", samples)});
}

// A canonical file of the given samples, in the given format (CD audio by
// default).
inline Bytes make_wav(const Pcm& samples, int channels = 2, int rate = 44100, int bits = 16,
                      int format_tag = 1) {
    Bytes data;
    for (std::int16_t s : samples) put16(data, static_cast<std::uint16_t>(s));
    return riff({chunk("fmt ", fmt_body(format_tag, channels, rate, bits)), chunk("data", data)});
}

// The samples behind a canonical 44-byte header.
inline Pcm wav_samples(const Bytes& wav) {
    Pcm samples;
    for (std::size_t i = 44; i + 1 < wav.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(wav[i] | wav[i + 1] << 8));
    return samples;
}

}  // namespace x91test
