#include "command/audio_input/open_input.h"

#include "command/audio_input/cd_wave_source.h"
#include "command/audio_input/sndfile_source.h"
#include "command/input_kind.h"
#include "wave/wave_reader.h"

namespace x91::cli {

Result open_pcm_source(const Source& in, std::unique_ptr<PcmSource>& source) {
    std::unique_ptr<da_WaveReader> wave;
    if (in.stream == nullptr) {
        wave = std::make_unique<da_WaveReader>(in.name.c_str());
    } else if (input_kind(in.taken) == InputKind::wave) {
        wave = std::make_unique<da_WaveReader>(in.stream, in.taken.data(),
                                               static_cast<int>(in.taken.size()));
    }
    if (wave && wave->problem().empty()) {
        source = std::make_unique<CdWaveSource>(std::move(wave));
        return {};
    }
    if (wave && !wave->other_format()) return {kAudioRefused, wave->problem()};

    std::unique_ptr<StreamIo> io;
    if (in.stream != nullptr) {
        // libsndfile starts over from the stream's first byte: what the
        // own reader read of it, or the bytes taken to see what it holds.
        const std::string* start = wave ? wave->stream_start() : &in.taken;
        if (start == nullptr)
            return {kAudioRefused, "WAV header too large to read again from a stream"};
        io = std::make_unique<StreamIo>(in.stream, *start);
    }
    return SndfileSource::open(in.name, std::move(io), source);
}

}  // namespace x91::cli
