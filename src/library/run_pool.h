// Runs of work done side by side on helper threads and taken back in the
// order they were handed in.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "library/thread_budget.h"

namespace x91 {

// The thread that hands runs in (the owner) works too: whenever it has to
// wait for a run, it takes one not yet started. Helpers come from the
// budget's spare places, one for each run waiting to start, and leave when
// none has waited for kLinger or the budget wants its place back; the
// owner's own place is its own business. So the runs always get done, even when no helper can be
// had, and a thread that cannot be started only means one helper less.
//
// The owner keeps at most twice as many runs as there are threads working
// on them (itself included), and one more, between hand-in and take-back:
// while the owner works on a run it hands none in, and the helpers must
// still find runs waiting when theirs are done. It is also the bound on
// the memory the runs hold.
class RunPool {
  public:
    explicit RunPool(ThreadBudget& budget);
    // Runs not yet started are dropped; waits for those under way.
    ~RunPool();
    RunPool(const RunPool&) = delete;
    RunPool& operator=(const RunPool&) = delete;

    // Hands a run in; its memory is released as soon as it has run.
    void submit(std::function<void()> run);

    // As many runs are pending (handed in, not taken back) as the owner
    // should keep.
    bool full() const;

    // When the oldest pending run has finished, takes it back (rethrowing
    // what it threw) and returns true; otherwise returns false at once.
    bool take_done();
    // Works on runs not yet started until the oldest pending run has
    // finished, then takes it back as take_done() does.
    void take_oldest();

  private:
    static constexpr std::chrono::milliseconds kLinger{20};

    struct Slot {
        std::function<void()> run;  // empty once started
        bool finished = false;
        std::exception_ptr error;
    };
    struct Helper {
        std::thread thread;
        bool left = false;
    };

    Slot* first_waiting();
    // Runs the slot with the lock released.
    void run_slot(Slot& slot, std::unique_lock<std::mutex>& lock);
    void add_helper_if_useful(std::unique_lock<std::mutex>& lock);
    void help(Helper& self);
    void join_helpers_that_left(std::unique_lock<std::mutex>& lock);
    void take_front(std::unique_lock<std::mutex>& lock);

    ThreadBudget& budget_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Slot>> slots_;  // pending, oldest first
    std::list<Helper> helpers_;
    int helpers_working_ = 0;  // started and not yet left
    int helpers_busy_ = 0;     // of those, running a run
    bool closing_ = false;
};

// A RunPool whose runs each give an Output, taken back in hand-in order.
template <typename Output>
class OrderedRuns {
  public:
    explicit OrderedRuns(ThreadBudget& budget) : pool_(budget) {}

    bool full() const { return pool_.full(); }
    bool empty() const { return outputs_.empty(); }

    void submit(std::function<Output()> run) {
        Output* to = outputs_.emplace_back(std::make_unique<Output>()).get();
        try {
            pool_.submit([run = std::move(run), to] { *to = run(); });
        } catch (...) {
            outputs_.pop_back();
            throw;
        }
    }

    // The output of the oldest run if it has finished.
    std::optional<Output> take_done() {
        if (outputs_.empty()) return std::nullopt;
        bool done = false;
        pass_on_failure([&] { done = pool_.take_done(); });
        if (!done) return std::nullopt;
        return pop_front();
    }
    // The output of the oldest run, working on others until it is there.
    Output take_oldest() {
        pass_on_failure([&] { pool_.take_oldest(); });
        return pop_front();
    }

  private:
    // A run that threw is taken back all the same: its output goes with it.
    template <typename Take>
    void pass_on_failure(Take take) {
        try {
            take();
        } catch (...) {
            outputs_.pop_front();
            throw;
        }
    }

    Output pop_front() {
        Output out = std::move(*outputs_.front());
        outputs_.pop_front();
        return out;
    }

    // Declared first, so the pool, and with it every helper, goes first.
    std::deque<std::unique_ptr<Output>> outputs_;
    RunPool pool_;
};

}  // namespace x91
