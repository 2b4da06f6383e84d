// Tags as the extension block carries them: "NAME=VALUE" in UTF-8, the
// form of Vorbis comments, so that they pass to FLAC and back unchanged.
#pragma once

#include <string>
#include <string_view>

namespace x91 {

// A name of printable ASCII (0x20 to 0x7E) without '=', at least one
// character long: what Vorbis comments allow, and '~' besides, which the
// command has always promised.
bool valid_tag_name(std::string_view name);

// True when text is well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF).
bool valid_utf8(std::string_view text);

// "NAME=VALUE" with a valid name and a UTF-8 value (which may be empty).
bool valid_tag(std::string_view tag);

}  // namespace x91
