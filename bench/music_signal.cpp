#include "music_signal.h"

#include <cmath>
#include <cstdint>
#include <random>

namespace x91 {

std::vector<unsigned char> music_pcm(int seconds) {
    const int frames = seconds * 44100;
    std::vector<unsigned char> pcm(static_cast<std::size_t>(frames) * 4);
    std::mt19937 rng(91);
    std::normal_distribution<double> noise(0.0, 0.01);
    const double partials[] = {110.0, 220.5, 331.0, 441.0, 662.0, 1323.0, 2650.0, 5290.0};
    for (int n = 0; n < frames; ++n) {
        const double t = n / 44100.0;
        double left = 0.0, right = 0.0;
        for (int p = 0; p < 8; ++p) {
            const double f = partials[p] * (1.0 + 0.003 * std::sin(2 * M_PI * 5.0 * t));
            const double a = 0.09 / (1 + p) * (1.2 + std::sin(2 * M_PI * (0.3 + 0.1 * p) * t));
            const double s = a * std::sin(2 * M_PI * f * t + p);
            left += s * (p % 2 ? 0.6 : 1.0);
            right += s * (p % 2 ? 1.0 : 0.7);
        }
        const auto to16 = [](double v) {
            const double c = std::fmax(-1.0, std::fmin(1.0, v));
            return static_cast<std::int16_t>(std::lround(c * 32767.0));
        };
        const std::int16_t l = to16(left + noise(rng)), r = to16(right + noise(rng));
        pcm[4 * n + 0] = static_cast<unsigned char>(l & 0xff);
        pcm[4 * n + 1] = static_cast<unsigned char>((l >> 8) & 0xff);
        pcm[4 * n + 2] = static_cast<unsigned char>(r & 0xff);
        pcm[4 * n + 3] = static_cast<unsigned char>((r >> 8) & 0xff);
    }
    return pcm;
}

}  // namespace x91
