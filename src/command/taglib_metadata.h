// Tags and pictures of FLAC, WAV and AIFF files through TagLib: FLAC's
// Vorbis comments and PICTURE blocks, the "id3 " chunk of WAV (its INFO
// texts come from the audio's reader), the ID3 chunk of AIFF. Names come out in upper case, values
// as they stand, every value of a name a tag of its own.
#pragma once

#include <string>
#include <vector>

#include "command/cd_audio.h"
#include "x91/status.h"

namespace x91::cli {

// The tags and pictures of a named FLAC, WAV or AIFF file (told by its
// first bytes); false for any other file, or one TagLib cannot read. In a
// WAV, the ID3 tags come first, then those of info_tags (the LIST/INFO
// texts the audio's reader found, every chunk of them) of names ID3 lacks.
bool read_file_metadata(const std::string& path, const std::vector<Tag>& info_tags,
                        Metadata& metadata);

// Replaces the tags and pictures of a finished FLAC or AIFF file (told by
// its first bytes) with these: ok, or write_failed "cannot write tags".
Result write_file_metadata(const std::string& path, const Metadata& metadata);

// A whole "id3 " chunk for a WAV (ID3v2.4, padded to an even size) holding
// the tags and the pictures given; empty when there are none.
std::vector<unsigned char> id3_chunk(const std::vector<Tag>& tags,
                                     const std::vector<Picture>& pictures);

}  // namespace x91::cli
