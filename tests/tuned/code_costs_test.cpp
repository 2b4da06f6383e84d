#include "tuned/code_costs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "coding/layered_codes.h"
#include "support/coding_test_util.h"

namespace x91 {

namespace {

using namespace coding_test;

// Costs fitted to a spectrum's own magnitudes price it close to what the
// layered code really spends on it, for spectra from mostly zeros to busy.
TEST(LayeredCodeCostsTest, PriceSpectraCloseToTheirCodeLength) {
    SeededRng rng(kSeed);
    for (double scale : {0.3, 1.0, 4.0, 20.0}) {
        SCOPED_TRACE(scale);
        std::exponential_distribution<double> magnitude(1.0 / scale);
        std::vector<int> v(800);
        for (int& x : v) x = static_cast<int>(magnitude(rng)) * (rng() & 1 ? -1 : 1);
        LayeredCodeCosts::Histogram counts{};
        add_magnitudes(v.data(), static_cast<int>(v.size()), counts);
        LayeredCodeCosts costs;
        costs.fit(counts);
        double priced = 0.0;
        for (int x : v) priced += costs.bits(std::abs(x));

        auto p = scratch_packet(64);
        da_BinWriter w(*p);
        write_z_seq(w, v.data(), static_cast<int>(v.size()));
        const double coded = p->possition();
        EXPECT_NEAR(priced / coded, 1.0, 0.1) << priced << " priced, " << coded << " coded";
    }
}

}  // namespace

}  // namespace x91
