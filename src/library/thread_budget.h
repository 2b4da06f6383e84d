// How many threads may work at once, shared by everything one encoder or
// decoder, or one run of the x91 command, does side by side.
#pragma once

#include <condition_variable>
#include <mutex>

namespace x91 {

// Places are counted, not threads owned. Work that must be done (a
// conversion of its own) waits for a place with take(); a helper that
// speeds up work already going only takes a place nobody waits for, and
// gives it back at its next pause once someone does. So the places go to
// new work first and to work already going with what is left.
class ThreadBudget {
  public:
    explicit ThreadBudget(int places);
    ThreadBudget(const ThreadBudget&) = delete;
    ThreadBudget& operator=(const ThreadBudget&) = delete;

    // The places in all.
    int places() const { return places_; }

    // Waits for a free place and takes it.
    void take();
    // Takes a free place for a helper; false when none is free or someone
    // waits in take().
    bool try_take_spare();
    void give_back();
    // Someone waits in take(): helpers should give their places back.
    bool wanted() const;

  private:
    const int places_;
    mutable std::mutex mutex_;
    std::condition_variable freed_;
    int free_;
    int waiting_ = 0;
};

// A place of a budget, taken (waiting for it) on construction and given
// back on destruction.
class HeldPlace {
  public:
    explicit HeldPlace(ThreadBudget& budget) : budget_(budget) { budget_.take(); }
    ~HeldPlace() { budget_.give_back(); }
    HeldPlace(const HeldPlace&) = delete;
    HeldPlace& operator=(const HeldPlace&) = delete;

  private:
    ThreadBudget& budget_;
};

}  // namespace x91
