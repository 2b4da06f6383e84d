// The texts of a RIFF "LIST" chunk of form "INFO" (INAM title, IART
// artist, ...): read from the chunk's body, and its image for a writer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "wave/riff.h"

namespace x91 {

inline constexpr Id4 ID4_LIST{"LIST"};
inline constexpr Id4 ID4_INFO{"INFO"};

struct InfoText {
    Id4 id;
    std::string text;  // as stored, without the terminating NUL bytes
};

// The texts of a LIST chunk's body (the form id "INFO" first). A body of
// another form, or sub-chunks that run past it, give what was read up to
// there: the texts are an extra, never a reason to refuse a file.
std::vector<InfoText> parse_info_list(const unsigned char* body, std::size_t size);

// The whole "LIST" chunk (header, "INFO", one sub-chunk per text, each text
// NUL-terminated and padded to an even size); empty when there are no texts.
std::vector<unsigned char> info_list_image(const std::vector<InfoText>& texts);

}  // namespace x91
