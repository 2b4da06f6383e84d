// The audio x91 takes and gives, in the command's terms: CD audio in blocks
// of 1/50 s, and the tags and pictures that go with it. The numbers come from the
// library's public constants.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// A picture of an input or an output (a front cover, ...), as FLAC's
// PICTURE block holds one: type 3 is the front cover; width, height, depth
// (bits per pixel) and colours (of an indexed image) are 0 where not known.
struct Picture {
    std::uint32_t type = 3;
    std::string mime_type;
    std::string description;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t depth = 0;
    std::uint32_t colours = 0;
    std::string data;
};

// What goes with the audio: its tags and its pictures.
struct Metadata {
    std::vector<Tag> tags;
    std::vector<Picture> pictures;
};

}  // namespace x91::cli
