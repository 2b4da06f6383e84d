// Audio files of any format libsndfile writes, made from generated signals
// in the tests themselves, and read back with their tags.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace x91test {

// Interleaved samples at full scale (-1 to 1), `channels` per frame.
using Samples = std::vector<double>;

// A file of format `format` (libsndfile's SF_FORMAT_* major | subtype),
// with libsndfile's strings (SF_STR_TITLE, ...) set from `strings`. False
// when libsndfile refused.
bool write_audio(const std::string& path, int format, int channels, int rate,
                 const Samples& samples, const std::map<int, std::string>& strings = {});

// The same from 16-bit samples, written unchanged.
bool write_pcm16(const std::string& path, int format, int channels, int rate,
                 const std::vector<short>& samples, const std::map<int, std::string>& strings = {});

struct AudioFile {
    bool read = false;
    int channels = 0;
    int rate = 0;
    std::vector<short> samples;  // interleaved, at 16 bits
    std::map<int, std::string> strings;
};

AudioFile read_audio(const std::string& path);

// A sine of `hz` in every channel at `amplitude`, starting at phase 0.
Samples sine(int frames, int channels, int rate, double hz, double amplitude);

}  // namespace x91test
