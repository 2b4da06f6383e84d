#include "library/run_pool.h"

#include <cassert>

namespace x91 {

RunPool::RunPool(ThreadBudget& budget) : budget_(budget) {}

RunPool::~RunPool() {
    std::unique_lock lock(mutex_);
    closing_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return helpers_working_ == 0; });
    std::list<Helper> helpers = std::move(helpers_);
    lock.unlock();
    for (Helper& h : helpers) h.thread.join();
}

bool RunPool::full() const {
    std::lock_guard lock(mutex_);
    const auto threads = static_cast<std::size_t>(1 + helpers_working_);
    return slots_.size() >= 2 * threads + 1;
}

RunPool::Slot* RunPool::first_waiting() {
    for (const auto& slot : slots_)
        if (slot->run) return slot.get();
    return nullptr;
}

void RunPool::run_slot(Slot& slot, std::unique_lock<std::mutex>& lock) {
    std::function<void()> run = std::move(slot.run);
    slot.run = nullptr;
    lock.unlock();
    std::exception_ptr error;
    try {
        run();
    } catch (...) {
        error = std::current_exception();
    }
    run = nullptr;  // the run's input goes before the lock is taken again
    lock.lock();
    slot.error = error;
    slot.finished = true;
    changed_.notify_all();
}

void RunPool::submit(std::function<void()> run) {
    std::unique_lock lock(mutex_);
    join_helpers_that_left(lock);
    auto slot = std::make_unique<Slot>();
    slot->run = std::move(run);
    slots_.push_back(std::move(slot));
    changed_.notify_all();
    add_helper_if_useful(lock);
}

void RunPool::add_helper_if_useful(std::unique_lock<std::mutex>& lock) {
    (void)lock;  // held by the caller
    int waiting = 0;
    for (const auto& slot : slots_) waiting += slot->run ? 1 : 0;
    const int helpers_free = helpers_working_ - helpers_busy_;
    if (waiting <= helpers_free || closing_ || !budget_.try_take_spare()) return;
    // No thread to be had now, for want of threads (system_error) or of
    // memory for one (bad_alloc): the owner works on alone.
    bool listed = false;
    try {
        Helper& helper = helpers_.emplace_back();
        listed = true;
        helper.thread = std::thread([this, &helper] { help(helper); });
        ++helpers_working_;
    } catch (const std::exception&) {
        if (listed) helpers_.pop_back();
        budget_.give_back();
    }
}

void RunPool::help(Helper& self) {
    std::unique_lock lock(mutex_);
    for (;;) {
        // The owner hands the next run in soon after taking one back:
        // waiting a little for it is far cheaper than a new thread.
        changed_.wait_for(lock, kLinger, [&] { return first_waiting() != nullptr || closing_; });
        Slot* slot = first_waiting();
        if (slot == nullptr || closing_ || budget_.wanted()) break;
        ++helpers_busy_;
        run_slot(*slot, lock);
        --helpers_busy_;
    }
    --helpers_working_;
    self.left = true;
    budget_.give_back();
    changed_.notify_all();
}

void RunPool::join_helpers_that_left(std::unique_lock<std::mutex>& lock) {
    std::list<Helper> left;
    for (auto it = helpers_.begin(); it != helpers_.end();) {
        const auto next = std::next(it);
        if (it->left) left.splice(left.end(), helpers_, it);
        it = next;
    }
    if (left.empty()) return;
    // A helper that has left holds nothing of the pool any more.
    lock.unlock();
    for (Helper& h : left) h.thread.join();
    lock.lock();
}

void RunPool::take_front(std::unique_lock<std::mutex>& lock) {
    (void)lock;  // held by the caller
    const std::unique_ptr<Slot> slot = std::move(slots_.front());
    slots_.pop_front();
    if (slot->error) std::rethrow_exception(slot->error);
}

bool RunPool::take_done() {
    std::unique_lock lock(mutex_);
    if (slots_.empty() || !slots_.front()->finished) return false;
    take_front(lock);
    return true;
}

void RunPool::take_oldest() {
    std::unique_lock lock(mutex_);
    assert(!slots_.empty());
    while (!slots_.front()->finished) {
        add_helper_if_useful(lock);
        if (Slot* slot = first_waiting()) {
            run_slot(*slot, lock);
        } else {
            changed_.wait(lock);
        }
    }
    take_front(lock);
}

}  // namespace x91
