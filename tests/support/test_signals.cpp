#include "support/test_signals.h"

#include <algorithm>
#include <cmath>

namespace x91test {

namespace {

constexpr double kTwoPi = 6.283185307179586;

std::int16_t to_sample(double v) {
    return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
}

}  // namespace

Pcm tone_signal(int frames, double hz, double amplitude) {
    Pcm pcm;
    for (int n = 0; n < frames; ++n) {
        const double v = amplitude * std::sin(kTwoPi * hz * n / 44100.0);
        pcm.push_back(to_sample(v));
        pcm.push_back(to_sample(0.7 * v));
    }
    return pcm;
}

Pcm noise_signal(int frames, double amplitude, unsigned seed) {
    // A fixed generator rather than a standard distribution, whose output
    // differs between standard libraries: checksums of encodes depend on it.
    std::uint64_t state = 0x9E3779B97F4A7C15ull ^ seed;
    Pcm pcm;
    for (int n = 0; n < 2 * frames; ++n) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const double unit = static_cast<double>(state >> 11) / 9007199254740992.0;
        pcm.push_back(to_sample(amplitude * (2.0 * unit - 1.0)));
    }
    return pcm;
}

Pcm transient_signal(int frames) {
    Pcm pcm;
    for (int n = 0; n < frames; ++n) {
        const int phase = n % 8820;
        const double decay = std::exp(-phase / 300.0);
        const double v = 0.8 * decay * std::sin(kTwoPi * 1500.0 * phase / 44100.0);
        pcm.push_back(to_sample(v));
        pcm.push_back(to_sample(-v));
    }
    return pcm;
}

Pcm panned_signal(int frames) {
    Pcm pcm;
    for (int n = 0; n < frames; ++n) {
        const double t = n / 44100.0;
        const double pan = 0.5 + 0.5 * std::sin(kTwoPi * 0.5 * t);
        double v = 0.0;
        for (double hz : {261.63, 329.63, 392.0}) v += 0.2 * std::sin(kTwoPi * hz * t);
        pcm.push_back(to_sample(v * (1.0 - pan)));
        pcm.push_back(to_sample(v * pan));
    }
    return pcm;
}

Pcm music_like_signal(int frames, unsigned seed) {
    const Pcm tones = panned_signal(frames);
    const Pcm noise = noise_signal(frames, 0.05, seed);
    const Pcm clicks = transient_signal(frames);
    Pcm pcm(tones.size());
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = to_sample((tones[i] + noise[i] + clicks[i] / 2) / 32767.0);
    return pcm;
}

double snr_db(const Pcm& original, const Pcm& decoded, int delay_frames) {
    double signal = 0.0, error = 0.0;
    for (std::size_t i = 0; i < original.size(); ++i) {
        const std::size_t j = i + 2 * static_cast<std::size_t>(delay_frames);
        const double d = j < decoded.size() ? decoded[j] : 0.0;
        signal += static_cast<double>(original[i]) * original[i];
        error += (d - original[i]) * (d - original[i]);
    }
    if (error == 0.0) return 200.0;
    return 10.0 * std::log10(signal / error);
}

}  // namespace x91test
