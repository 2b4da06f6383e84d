// Writes a few seconds of generated CD audio (a chord panned across the
// stereo image, a noise burst and a click train) for trying the codec out.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "wave/wave_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: x91-sample OUTPUT.wav\n");
        return 2;
    }
    constexpr int kRate = 44100;
    constexpr int kSeconds = 4;
    constexpr double kTwoPi = 6.283185307179586;
    std::vector<unsigned char> pcm;
    pcm.reserve(static_cast<size_t>(kRate) * kSeconds * 4);
    std::mt19937 noise(91);
    std::normal_distribution<double> gauss(0.0, 0.1);
    const double chord[] = {220.0, 277.18, 329.63, 440.0};
    for (int n = 0; n < kRate * kSeconds; ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double pan = 0.5 + 0.5 * std::sin(kTwoPi * 0.25 * t);
        double tone = 0.0;
        for (double f : chord) tone += 0.12 * std::sin(kTwoPi * f * t);
        const bool burst = t > 2.0 && t < 2.4;
        const double hiss = burst ? gauss(noise) : 0.0;
        const double click = (n % 11025 < 20) ? 0.5 : 0.0;
        const double left = tone * (1.0 - pan) + hiss + click;
        const double right = tone * pan + hiss + click;
        for (double v : {left, right}) {
            const auto s = static_cast<std::int16_t>(
                std::lround(std::fmax(-1.0, std::fmin(1.0, v)) * 32767.0));
            const auto u = static_cast<std::uint16_t>(s);
            pcm.push_back(static_cast<unsigned char>(u & 0xFF));
            pcm.push_back(static_cast<unsigned char>(u >> 8));
        }
    }
    x91::da_WaveWriter writer(argv[1], x91::FORMAT_CDDA);
    writer.rawwrite(reinterpret_cast<char*>(pcm.data()), static_cast<int>(pcm.size()));
    if (const x91::Result finished = writer.finish(); !finished) {
        std::fprintf(stderr, "x91-sample: %s: %s\n", argv[1], finished.message.c_str());
        return 1;
    }
    std::printf("wrote %s: %d seconds of generated stereo audio\n", argv[1], kSeconds);
    return 0;
}
