#include "quant/level_guess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "quant/scalar_quantizers.h"

namespace x91 {

namespace {

// The highest k with levels[k] <= a, searched from `start` as the tuned
// quantiser searches.
int search_from(const std::vector<float>& levels, int start, float a) {
    int k = start;
    while (k > 0 && levels[k] > a) --k;
    while (k + 1 < static_cast<int>(levels.size()) && levels[k + 1] <= a) ++k;
    return k;
}

std::vector<float> log_levels(float b, int count) {
    std::vector<float> levels(count);
    for (int k = 0; k < count; ++k) levels[k] = log_dequant(k, b);
    return levels;
}

TEST(LevelGuessTest, GuessesLieAtOrBelowTheLevelOfEveryMagnitude) {
    for (float b : {1.05f, 1.1f, 2.59f}) {
        // Levels into infinity, as the quantisers' tables of 1024 reach.
        const std::vector<float> levels = log_levels(b, 1024);
        const LevelGuess guess(levels);
        int guessed = 0;
        for (float a = 1e-3f; a < 3e38f; a *= 1.0137f) {
            const int g = guess(a);
            if (g < 0) continue;
            ++guessed;
            ASSERT_LE(levels[g], a) << "b=" << b << " a=" << a;
            ASSERT_EQ(search_from(levels, g, a), search_from(levels, 0, a)) << a;
        }
        EXPECT_GT(guessed, 100) << b;
    }
}

TEST(LevelGuessTest, LeavesWhatItCannotGuessToTheSearch) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        std::vector<float> levels;
        float a;
    } cases[] = {
        {{0.0f, 1.0f, 3.0f, 2.0f, 5.0f}, 2.5f},  // falling levels
        {{0.0f, 1.0f, inf, 2.0f}, 0.5f},         // finite above infinite
        {{0.0f}, 0.5f},                          // too few
        {log_levels(1.1f, 100), inf},
        {log_levels(1.1f, 100), std::numeric_limits<float>::quiet_NaN()},
        {log_levels(1.1f, 100), 1e30f},  // past the last level
        {log_levels(1.1f, 100), -1.0f},
    };
    for (const auto& c : cases) EXPECT_EQ(LevelGuess(c.levels)(c.a), -1) << c.a;
}

}  // namespace

}  // namespace x91
