// Byte serialisation of the settings records and the x91 file header.
#pragma once

#include <array>
#include <optional>

#include "format/checked_settings.h"
#include "format/limits.h"
#include "format/settings.h"
#include "storage/storage_stream.h"
#include "x91/status.h"

namespace x91 {

// Each operator moves one record's byte image (its fields in order, every
// 4-byte value little-endian) with a single stream call and returns the
// stream. A short read leaves the bytes it did not reach as they were; the
// stream's own failure state tells the caller.
OutputStream& operator<<(OutputStream& out, const da_DSettings& s);
OutputStream& operator<<(OutputStream& out, const da_ISettings& s);
OutputStream& operator<<(OutputStream& out, const da_CodeFeatures& f);
OutputStream& operator<<(OutputStream& out, const int& value);
InputStream& operator>>(InputStream& in, da_DSettings& s);
InputStream& operator>>(InputStream& in, da_ISettings& s);
InputStream& operator>>(InputStream& in, da_CodeFeatures& f);
InputStream& operator>>(InputStream& in, int& value);

// The header's bytes: "x91", the code features, da_DSettings, da_ISettings.
std::array<unsigned char, kHeaderBytes> x91_header_image(const HeaderSettings& settings);

// Writes the whole header; true only if all 62 bytes were accepted.
[[nodiscard]] bool write_x91_header(OutputStream& out, const HeaderSettings& settings);

// Reads the header and checks its settings with check_settings: the one way
// from the bytes of a file to settings a decoder is built from. On ok,
// settings holds them and the stream stands at the first packet count.
// Otherwise settings is left empty and the result is not_x91 ("not an x91
// file": fewer than 3 bytes, or not "x91"), cut_short ("x91 header cut
// short": the records are not complete) or header_damaged (a value the
// decoder cannot run safely with).
[[nodiscard]] Result read_x91_header(InputStream& in, std::optional<CheckedSettings>& settings);

// The same for the first size bytes at data (which may be null when size is
// 0): the header at their start.
[[nodiscard]] Result parse_x91_header(const unsigned char* data, std::size_t size,
                                      std::optional<CheckedSettings>& settings);

}  // namespace x91
