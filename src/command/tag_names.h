// The tags every format x91 reads or writes can name, under the names of
// FLAC's Vorbis comments, and how they meet: the tags of an input, those of
// the command line, and the texts of WAV and libsndfile.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "command/cd_audio.h"
#include "wave/riff_info.h"
#include "x91/status.h"

namespace x91::cli {

// The input's tags with every name the command line gives replaced by the
// command line's tags of that name. Names compare without regard to case.
std::vector<Tag> merge_tags(const std::vector<Tag>& input, const std::vector<Tag>& given);

// Of merge_tags(input, given), in that order, those an extension block has
// room for: the command line's first, then the input's as they come, each
// that still fits; left_out counts the others. A tag no block can carry at
// all (a name or value the library refuses) fails with the library's reason.
Result tags_for_block(const std::vector<Tag>& input, const std::vector<Tag>& given,
                      std::vector<Tag>& fitting, std::size_t& left_out);

// Of merge_tags(input, given), in that order, those an extension block has
// room for: the command line's first, then the input's as they come, each
// that still fits; left_out counts the others.
std::vector<Tag> tags_for_block(const std::vector<Tag>& input, const std::vector<Tag>& given,
                                std::size_t& left_out);

// The tags of a WAV file's INFO texts whose ids have a name here (INAM is
// TITLE, IART ARTIST, ...); texts that are not UTF-8 are taken as Latin-1.
std::vector<Tag> tags_from_info(const std::vector<InfoText>& info);
// The INFO texts for those of the tags WAV can carry, several values of one
// name joined by "; ".
std::vector<InfoText> info_from_tags(const std::vector<Tag>& tags);

// libsndfile's string ids (SF_STR_TITLE, ...) with the names they carry.
struct SndfileString {
    int id;
    const char* name;
};
std::vector<SndfileString> sndfile_strings();
// One value per name: several of them joined by "; ", as libsndfile keeps
// one string per id.
std::string joined_value(const std::vector<Tag>& tags, const std::string& name);

// The text as UTF-8: unchanged when it is, each byte taken as Latin-1 when not.
std::string utf8_from_text(const std::string& text);

// The name in upper case, the way players look names up (they compare
// them without regard to case).
std::string canonical_tag_name(const std::string& name);

}  // namespace x91::cli
