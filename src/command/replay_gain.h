// ReplayGain values measured on the decoded x91 audio, so they hold for
// what plays: each file's integrated loudness and true peak by libebur128,
// and the album's over all the files of one run, stored as
// REPLAYGAIN_TRACK_GAIN/PEAK and REPLAYGAIN_ALBUM_GAIN/PEAK against a
// reference of -18 LUFS, in the usual text ("-6.52 dB", "0.988553").
#pragma once

#include <string>
#include <vector>

#include "x91/status.h"
#include "x91/x91.h"

namespace x91::cli {

// The gain for a loudness in LUFS, as stored: "+7.08 dB".
std::string gain_text(double lufs);
// A peak as stored: "0.988553".
std::string peak_text(double peak);

struct GainFailure {
    std::string file;
    Result reason;
};

// Measures every file, then stores the four tags in each (in place, as
// --set-tag does). The files that could not be measured or tagged, with
// why; the album is the files measured.
std::vector<GainFailure> apply_replay_gain(const std::vector<std::string>& files,
                                           x91_threads* threads);

}  // namespace x91::cli
