#include "support/audio_files.h"

#include <sndfile.h>

#include <cmath>

namespace x91test {

namespace {

template <typename Sample>
bool write_file(const std::string& path, int format, int channels, int rate,
                const std::vector<Sample>& samples, const std::map<int, std::string>& strings,
                sf_count_t (*write)(SNDFILE*, const Sample*, sf_count_t)) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    for (const auto& [id, text] : strings) sf_set_string(file, id, text.c_str());
    const auto frames =
        static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(channels));
    const bool whole = write(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && whole;
}

}  // namespace

bool write_audio(const std::string& path, int format, int channels, int rate,
                 const Samples& samples, const std::map<int, std::string>& strings) {
    return write_file<double>(path, format, channels, rate, samples, strings, sf_writef_double);
}

bool write_pcm16(const std::string& path, int format, int channels, int rate,
                 const std::vector<short>& samples, const std::map<int, std::string>& strings) {
    return write_file<short>(path, format, channels, rate, samples, strings, sf_writef_short);
}

AudioFile read_audio(const std::string& path) {
    AudioFile audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return audio;
    audio.channels = info.channels;
    audio.rate = info.samplerate;
    for (int id = SF_STR_FIRST; id <= SF_STR_LAST; ++id) {
        const char* text = sf_get_string(file, id);
        if (text != nullptr) audio.strings[id] = text;
    }
    short piece[4096];
    const sf_count_t frames = 4096 / info.channels;
    for (sf_count_t got; (got = sf_readf_short(file, piece, frames)) > 0;)
        audio.samples.insert(audio.samples.end(), piece, piece + got * info.channels);
    audio.read = sf_close(file) == 0;
    return audio;
}

Samples sine(int frames, int channels, int rate, double hz, double amplitude) {
    Samples s;
    for (int i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2.0 * M_PI * hz * i / rate);
        for (int c = 0; c < channels; ++c) s.push_back(v);
    }
    return s;
}

}  // namespace x91test
