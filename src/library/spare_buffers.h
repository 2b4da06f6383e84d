// Buffers given back once used and handed out again, so that work done in
// runs writes into memory it has already touched: memory fresh from the
// system costs a page fault for every 4 KiB first written, and a run's
// buffers hold hundreds of kilobytes.
#pragma once

#include <mutex>
#include <utility>
#include <vector>

namespace x91 {

// There are never more buffers than were in use at once. Safe to share
// between threads.
template <typename T>
class SpareBuffers {
  public:
    // An empty buffer, with the room of one given back when there is one.
    std::vector<T> take() {
        const std::lock_guard lock(mutex_);
        if (spare_.empty()) return {};
        std::vector<T> buffer = std::move(spare_.back());
        spare_.pop_back();
        return buffer;
    }

    void give(std::vector<T>&& buffer) {
        buffer.clear();
        const std::lock_guard lock(mutex_);
        spare_.push_back(std::move(buffer));
    }

  private:
    std::mutex mutex_;
    std::vector<std::vector<T>> spare_;
};

}  // namespace x91
