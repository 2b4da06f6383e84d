// The audio x91 takes and gives, in the command's terms: CD audio in blocks
// of 1/50 s, and the tags that go with it. The numbers come from the
// library's public constants.
#pragma once

#include <string>

#include "x91/constants.h"

namespace x91::cli {

inline constexpr int kSampleRate = X91_SAMPLE_RATE;
inline constexpr int kChannels = X91_CHANNELS;
inline constexpr int kBlockFrames = X91_BLOCK_FRAMES;

// A tag of an input or an output: a NAME of printable ASCII without '='
// (TITLE, ARTIST, ...; names compare without regard to case) and a UTF-8
// VALUE, as in the Vorbis comments of FLAC files.
struct Tag {
    std::string name;
    std::string value;
};

}  // namespace x91::cli
