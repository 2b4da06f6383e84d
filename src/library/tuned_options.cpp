#include "library/tuned_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "format/quality.h"

namespace x91 {

namespace {

// The shortest text that reads back as the same float.
std::string number(float value) {
    char digits[32];
    return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// Where a quality lies between two others, on the logarithmic scale the
// rate follows: 0 at or below `low`, 1 at or above `high`.
float between(float quality, float low, float high) {
    return std::clamp(std::log2(quality / low) / std::log2(high / low), 0.0f, 1.0f);
}

// The point of the tuned settings' scale a quality stands for: the quality
// itself up to 200, then its cube, so that 400 stands for 1600.
float scale_point(float percent) {
    return percent <= 200.0f ? percent : 200.0f * std::pow(percent / 200.0f, 3.0f);
}

}  // namespace

Result tuned_choices_problem(const TunedChoices& choices) {
    const struct {
        const char* name;
        float value, low, high;
    } checks[] = {
        {"rate weight", choices.rate_weight, 0.0f, 100.0f},
        {"high band shift", choices.high_band_db, -20.0f, 20.0f},
        {"tonal shift", choices.tonal_db, 0.0f, 20.0f},
    };
    for (const auto& c : checks) {
        if (!std::isfinite(c.value) || c.value < c.low || c.value > c.high)
            return Result{Status::invalid_argument,
                          std::string("tuned ") + c.name + " must be from " + number(c.low) +
                              " to " + number(c.high) + ", not " + number(c.value)};
    }
    return {};
}

TunedEncoderSetup tuned_setup_from(const TunedChoices& choices) {
    TunedEncoderSetup setup;
    setup.rate_weight = choices.rate_weight;
    setup.high_band_db = choices.high_band_db;
    setup.tonal_db = choices.tonal_db;
    return setup;
}

// The tuned mode's settings, found with PEAQ on music and speech at equal
// rates (bench/quality; since it has a tuning and a check half, each change
// is chosen on the first and kept only if the second gains on both PEAQ
// versions). A quality rescales the masking level and the quantiser base as
// it does for the standard encoder.
// - Level range 115 instead of 100: quiet bands (a soft orchestra's upper
//   partials) keep an envelope of their own instead of the floor's, which
//   left them to a curve far above them.
// - Quantiser base 1.05 instead of 1.1: finer levels for strong lines.
// - Spreading bases 0.07 downward and 0.06 upward instead of 0.2 and 0.15:
//   about -11.5 and -12 dB per Bark instead of -7 and -8. The curve then
//   follows the envelope into the valleys between partials and formants
//   instead of covering them with the slopes of their strong neighbours, so
//   their noise is no longer left to the level of those neighbours.
// - The rate weight grows with the square root of the quality, 0.06 at
//   quality 145 (about 130 kbit/s on music), 0.05 at 100 (about 100): the
//   lighter weight at low rates keeps more small lines. Below quality 99
//   it stays near 0.055 instead of falling further (0.055 from quality 62
//   down): near 64 kbit/s the lightest weights spent the bits on lone small
//   lines the ear does not miss. At Opus's sizes for 64 kbit/s: +0.02
//   basic and +0.02 advanced ODG on both halves' music; at 96 even.
// - The band shifts follow the rate. Near 64 kbit/s (quality about 60) the
//   coarser steps the top quarter of the bands and noise-like bands get at
//   higher rates left those bands empty in most frames, holes in the
//   spectrum that cost far more than their bits bought: there the top
//   quarter gets steps 2 dB finer and noise-like bands only 1 dB coarser.
//   The high shift rises to +3 dB by quality 154 (about 128 kbit/s), the
//   tonal one to 3 dB by quality 99 (about 96). At Opus's sizes for 64
//   kbit/s this gained +0.15 basic and +0.10 advanced ODG on the check
//   half's music (+0.20 and +0.12 on the tuning half), +0.01 at 96, and
//   nothing lost above. Above quality 154 the high shift falls again, to
//   -2 dB by quality 300 (about 192 kbit/s): once the spectra are coded
//   finely, noise left in the top bands is heard more than its bits are
//   worth. At Opus's sizes for 192 kbit/s: +0.03 basic and +0.00 advanced
//   ODG on the check half's music (+0.02 and +0.00 on the tuning half); at
//   160 +0.01 and +0.00.
// - Below quality 120 (about 110 kbit/s) 8 side-stereo bands instead of
//   12: the balance costs fewer bits, and the coarser split is not heard
//   at rates where the spectra themselves are coded coarsely. At Opus's
//   sizes for 64 kbit/s: +0.01 basic and +0.02 advanced ODG on the check
//   half's music (+0.01 and +0.01 on the tuning half); at 96 within 0.01.
//   There too 20 level bands instead of 32: the envelope costs fewer bits,
//   which go to the spectra, and the tuned shifts still find onsets, tonal
//   and high bands at that resolution. At Opus's sizes for 64 kbit/s:
//   +0.03 basic and +0.05 advanced ODG on the check half's music (+0.03 and
//   +0.04 on the tuning half); at 96 +0.01 and +0.02 (+0.01 and +0.01).
// - Above quality 200 a quality stands for a point further up the scale,
//   growing as its cube (300 stands for 675, 400 for 1600); the choices
//   above follow the point as they follow the quality below 200, so point
//   300 (quality 229) is where the high shift reaches -2 dB. The masking
//   level and quantiser base are set for the point times the square root of
//   its ratio to 200 (quality 400: 4525). Music that is sparse or narrow
//   (speech, a lone synthesizer line) needs that much to come to the sizes
//   Opus's files reach at 192 kbit/s; with 400 standing for 566, 12 of the
//   68 excerpts could not, and `-b 192 --tuned` gave such music far less.
//   Those now reach them (speech 327 kbit/s instead of 113) and gain +0.045
//   basic and +0.008 advanced ODG on the check half's five (+0.041 and
//   +0.012 on the tuning half's seven); the check half's music as a whole
//   holds at Opus's sizes for 192 kbit/s (-0.020 basic and +0.048 advanced
//   ODG beside Opus, before and after).
Result tuned_options(float percent, EncoderOptions& out) {
    if (Result bad = quality_problem(percent); !bad) return bad;
    const float point = scale_point(percent);
    const float effective = point * std::sqrt(std::max(1.0f, point / 200.0f));
    EncoderOptions options;
    options.tuned = true;
    options.header.dsettings.intensity.range = 115;
    if (percent < 120.0f) {
        options.header.dsettings.intensity.bands = 20;
        options.header.dsettings.side_stereo.bands = 8;
    }
    options.header.isettings.quantize.base = 1.05f;
    options.header.isettings.masking.downward_base = 0.07f;
    options.header.isettings.masking.upward_base = 0.06f;
    options.header.isettings = apply_quality(options.header.isettings, effective);
    const float weight = 0.06f * std::sqrt(effective / 145.0f);
    options.tuning.rate_weight =
        std::max(weight, weight + (0.055f - weight) * (1.0f - between(point, 62.0f, 99.0f)));
    options.tuning.high_band_db =
        -2.0f + 5.0f * between(point, 62.0f, 154.0f) - 5.0f * between(point, 154.0f, 300.0f);
    options.tuning.tonal_db = 1.0f + 2.0f * between(point, 62.0f, 99.0f);
    out = options;
    return {};
}

Result options_at_quality(float percent, bool tuned, EncoderOptions& out) {
    if (tuned) return tuned_options(percent, out);
    EncoderOptions options;
    if (Result r = apply_quality(options.header, percent); !r) return r;
    out = options;
    return {};
}

}  // namespace x91
