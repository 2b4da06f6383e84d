#include "library/thread_budget.h"

namespace x91 {

ThreadBudget::ThreadBudget(int places) : places_(places), free_(places) {}

void ThreadBudget::take() {
    std::unique_lock lock(mutex_);
    ++waiting_;
    freed_.wait(lock, [&] { return free_ > 0; });
    --waiting_;
    --free_;
}

bool ThreadBudget::try_take_spare() {
    std::lock_guard lock(mutex_);
    if (free_ == 0 || waiting_ > 0) return false;
    --free_;
    return true;
}

void ThreadBudget::give_back() {
    {
        std::lock_guard lock(mutex_);
        // A place given back that was never taken would let more work run
        // than there are places.
        if (free_ < places_) ++free_;
    }
    freed_.notify_one();
}

bool ThreadBudget::wanted() const {
    std::lock_guard lock(mutex_);
    return waiting_ > 0;
}

}  // namespace x91
