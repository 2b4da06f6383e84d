#include "command/replay_gain.h"

#include <ebur128.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "command/cd_audio.h"
#include "command/codec_handles.h"
#include "command/source.h"
#include "command/x91_reader.h"
#include "command/x91_tag_tool.h"

namespace x91::cli {

namespace {

constexpr double kReferenceLufs = -18.0;

struct StateDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using StateHandle = std::unique_ptr<ebur128_state, StateDeleter>;

struct Measured {
    std::string file;
    StateHandle state;
    double loudness = 0;
    double peak = 0;
};

// The file's decoded audio through libebur128: its loudness and the
// highest true peak of its two channels.
Result measure(const std::string& name, Measured& out) {
    X91Reader reader{Source(name)};
    if (Result opened = reader.open(); !opened) return opened;
    x91_decoder* made = nullptr;
    if (x91_status s = x91_decoder_open_callbacks(&made, &reader.io(), reader.user()); s != X91_OK)
        return from_library(s, x91_thread_last_error());
    const DecoderHandle decoder(made);
    out.state.reset(ebur128_init(kChannels, kSampleRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
    if (!out.state) return {Status::out_of_memory, "out of memory"};
    constexpr std::size_t kFrames = 16 * static_cast<std::size_t>(kBlockFrames);
    std::vector<std::int16_t> pcm(2 * kFrames);
    for (;;) {
        std::size_t frames = 0;
        const x91_status s = x91_decoder_read(decoder.get(), pcm.data(), kFrames, &frames);
        if (s != X91_OK) return from_library(s, x91_decoder_last_error(decoder.get()));
        if (frames == 0) break;
        if (ebur128_add_frames_short(out.state.get(), pcm.data(), frames) != EBUR128_SUCCESS)
            return {Status::out_of_memory, "out of memory"};
    }
    out.file = name;
    ebur128_loudness_global(out.state.get(), &out.loudness);
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        double peak = 0;
        ebur128_true_peak(out.state.get(), channel, &peak);
        out.peak = std::max(out.peak, peak);
    }
    return {};
}

}  // namespace

std::string gain_text(double lufs) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f dB", kReferenceLufs - lufs);
    return text;
}

std::string peak_text(double peak) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", peak);
    return text;
}

std::vector<GainFailure> apply_replay_gain(const std::vector<std::string>& files,
                                           x91_threads* threads) {
    std::vector<GainFailure> failures;
    std::vector<Measured> measured;
    for (const std::string& file : files) {
        Measured m;
        if (Result r = measure(file, m); !r) {
            failures.push_back({file, r});
        } else {
            measured.push_back(std::move(m));
        }
    }
    std::vector<ebur128_state*> states;
    double album_peak = 0;
    for (const Measured& m : measured) {
        states.push_back(m.state.get());
        album_peak = std::max(album_peak, m.peak);
    }
    double album = 0;
    if (!states.empty()) ebur128_loudness_global_multiple(states.data(), states.size(), &album);
    for (const Measured& m : measured) {
        TagEdits edits;
        edits.set = {{"REPLAYGAIN_TRACK_GAIN", gain_text(m.loudness)},
                     {"REPLAYGAIN_TRACK_PEAK", peak_text(m.peak)},
                     {"REPLAYGAIN_ALBUM_GAIN", gain_text(album)},
                     {"REPLAYGAIN_ALBUM_PEAK", peak_text(album_peak)}};
        if (Result r = EditXFile(m.file, edits, threads); !r) failures.push_back({m.file, r});
    }
    return failures;
}

}  // namespace x91::cli
