// Reduces samples to 16 bits with triangular (TPDF) dither: the rounding
// error becomes a steady, signal-independent hiss instead of distortion that
// follows the music. The noise comes from a generator with a fixed seed, so
// the same input always gives the same file.
#pragma once

#include <cstdint>

namespace x91::cli {

class TpdfDither {
  public:
    // x at full scale (-1 to 1 spans the 16-bit range) to a 16-bit sample,
    // clipped.
    std::int16_t quantize(double x);

  private:
    double uniform();  // in [0, 1), 53 bits

    // splitmix64: small, fast, and its sequence is fixed by its seed.
    std::uint64_t state_ = 0x5831'3931'5444'4954ull;
};

}  // namespace x91::cli
