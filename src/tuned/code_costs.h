// Bit costs of the layered sequence code as the tuned encoder's index choice
// sees them: what one line of a given magnitude adds to its spectrum's code.
#pragma once

#include <array>

namespace x91 {

// The layered code sends, per layer L, which of the c_L lines still present
// end at magnitude L: a count and a set of z_L positions out of c_L, close to
// log2 C(c_L, z_L) bits. Spread over the lines, that is -log2(z_L / c_L) for a
// line that ends in layer L and -log2(1 - z_L / c_L) for one that passes it,
// plus a sign bit for every line that is not zero. The costs are fitted to a
// histogram of magnitudes, typically those of the channel's previous frame.
class LayeredCodeCosts {
  public:
    // Magnitudes from here up share the last count of a histogram.
    static constexpr int kMaxMagnitude = 127;
    using Histogram = std::array<int, kMaxMagnitude + 1>;

    // Costs of a spectrum whose lines are all zero but a few small ones, the
    // first guess before any histogram is known.
    LayeredCodeCosts();

    // counts[m]: lines of magnitude m (the last entry: kMaxMagnitude or more).
    void fit(const Histogram& counts);

    // Bits a line of magnitude m adds, its sign included.
    float bits(int magnitude) const {
        if (magnitude <= kMaxMagnitude) return bits_[magnitude];
        // Beyond the table every further layer is a coin toss.
        return bits_[kMaxMagnitude] + static_cast<float>(magnitude - kMaxMagnitude);
    }

  private:
    std::array<float, kMaxMagnitude + 1> bits_;
};

// Adds the magnitudes of indices[0 .. count-1] to counts.
void add_magnitudes(const int* indices, int count, LayeredCodeCosts::Histogram& counts);

}  // namespace x91
