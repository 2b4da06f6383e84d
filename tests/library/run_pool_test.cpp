// Runs handed to a pool come back in hand-in order, whatever the threads
// that ran them and however long each took; a run that throws passes its
// exception on at its turn.
#include "library/run_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "library/thread_budget.h"

namespace x91 {
namespace {

// Work of a length that varies from run to run, so that runs finish out of
// hand-in order.
std::uint64_t busy(int run) {
    std::uint64_t h = static_cast<std::uint64_t>(run);
    for (int i = 0; i < (run % 5) * 20000; ++i) h = h * 6364136223846793005u + 1442695040888963407u;
    return h;
}

TEST(RunPoolTest, OutputsComeBackInHandInOrder) {
    constexpr int kRuns = 60;
    for (int spare : {0, 1, 3}) {
        SCOPED_TRACE(testing::Message() << spare << " spare threads");
        ThreadBudget budget(spare);
        std::vector<std::uint64_t> out;
        {
            OrderedRuns<std::uint64_t> runs(budget);
            for (int k = 0; k < kRuns; ++k) {
                while (runs.full()) out.push_back(runs.take_oldest());
                runs.submit([k] { return busy(k); });
                while (auto done = runs.take_done()) out.push_back(*done);
            }
            while (!runs.empty()) out.push_back(runs.take_oldest());
        }
        ASSERT_EQ(out.size(), static_cast<std::size_t>(kRuns));
        for (int k = 0; k < kRuns; ++k) EXPECT_EQ(out[k], busy(k)) << k;
        // Every helper gave its place back when the pool went.
        for (int k = 0; k < spare; ++k) EXPECT_TRUE(budget.try_take_spare()) << k;
        EXPECT_FALSE(budget.try_take_spare());
    }
}

TEST(RunPoolTest, AThrownExceptionComesBackAtItsRunsTurn) {
    ThreadBudget budget(2);
    OrderedRuns<int> runs(budget);
    runs.submit([] { return 1; });
    runs.submit([]() -> int { throw std::runtime_error("run 2"); });
    runs.submit([] { return 3; });
    EXPECT_EQ(runs.take_oldest(), 1);
    EXPECT_THROW(runs.take_oldest(), std::runtime_error);
    EXPECT_EQ(runs.take_oldest(), 3);
    EXPECT_TRUE(runs.empty());
}

}  // namespace
}  // namespace x91
