#include "command/audio_input/tpdf_dither.h"

#include <cmath>

namespace x91::cli {

double TpdfDither::uniform() {
    std::uint64_t z = (state_ += 0x9E37'79B9'7F4A'7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

std::int16_t TpdfDither::quantize(double x) {
    // The difference of two uniform values spans (-1, 1) LSB with a
    // triangular density: the least noise that makes the error's mean and
    // power independent of the signal.
    // Two statements: the order of the draws must not be the compiler's choice.
    const double first = uniform();
    const double noise = first - uniform();
    const double level = std::floor(x * 32768.0 + noise + 0.5);
    if (std::isnan(level)) return 0;
    if (level >= 32767.0) return 32767;
    if (level <= -32768.0) return -32768;
    return static_cast<std::int16_t>(level);
}

}  // namespace x91::cli
