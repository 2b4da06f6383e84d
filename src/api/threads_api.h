// x91_threads: a ThreadBudget behind a C handle, shared by the encoders and
// decoders given it.
#pragma once

#include "library/thread_budget.h"
#include "x91/x91.h"

struct x91_threads {
    explicit x91_threads(int count) : budget(count) {}
    x91::ThreadBudget budget;
};
