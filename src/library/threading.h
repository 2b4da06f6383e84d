// The threads an encoder or decoder works with: its own budget for a
// Threading the caller chose, or the budget of a whole program run.
#pragma once

#include <memory>

#include "library/codec.h"
#include "library/thread_budget.h"

namespace x91 {

struct ThreadPlan {
    // Null: everything on the caller's thread, as each call returns.
    ThreadBudget* budget = nullptr;
    int run_packets = 0;  // 0: the library's choice
    std::unique_ptr<ThreadBudget> own_budget;
};

// invalid_argument for values out of range.
Result check_threading(const Threading& threading);

// The plan for a checked Threading: the caller's thread and the spare
// places of a budget of its own.
ThreadPlan plan_threads(const Threading& threading);

// The plan for an encoder or decoder of a program run whose threads are
// counted by `shared`: the caller's thread holds one of its places.
ThreadPlan plan_threads(ThreadBudget& shared);

// Packets per run: the choice made, or as many as come closest to
// `default_blocks` blocks, at least one. Counted in blocks, a run holds as
// much audio whatever the frames per packet a header gives.
int run_packets(const ThreadPlan& plan, int default_blocks, int frames_per_packet);

}  // namespace x91
