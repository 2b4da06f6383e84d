// Byte serialisation of the settings records and the x91 file header.
#pragma once

#include <optional>
#include <string>

#include "format/checked_settings.h"
#include "format/settings.h"
#include "storage/storage_stream.h"

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

// "x91", the code features, da_DSettings, da_ISettings; packets follow.
inline constexpr int X91_HEADER_BYTES = 62;

// Writes the whole header; true only if all 62 bytes were accepted.
bool write_x91_header(OutputStream& out, const HeaderSettings& settings);

enum class X91HeaderState {
    ok,
    not_x91,    // fewer than 3 bytes, or they are not "x91"
    cut_short,  // the identifier is there but the records are not complete
    damaged,    // complete, but a value the decoder cannot run safely with
};

struct X91HeaderRead {
    X91HeaderState state = X91HeaderState::ok;
    // Empty when ok, otherwise "not an x91 file", "x91 header cut short" or
    // "x91 header damaged: <field> <value>".
    std::string problem;
    // The settings read, set exactly when ok.
    std::optional<CheckedSettings> settings;

    bool ok() const { return state == X91HeaderState::ok; }
};

// Reads the header and checks its settings with check_settings: the one way
// from the bytes of a file to settings a decoder is built from. When it is
// accepted the stream is positioned at the first packet count.
X91HeaderRead read_x91_header(InputStream& in);

}  // namespace x91
