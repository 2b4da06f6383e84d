// Typed ends of the data queues. Every queue carries one kind of item, and the
// ends a module holds say which, so items leave and enter the queues as
// owning handles: taking an item gives its ownership, putting one hands it
// over, and nothing is freed by hand or cast back from void*.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include "framework/data_queue.h"
#include "framework/queue_item.h"

namespace x91 {

// The owning handle of an item of kind T: an array of plain T values from
// item_alloc<T>, or a single heap object where T has a destructor to run
// (a packet).
template <typename T>
using QueueItem =
    std::conditional_t<std::is_trivially_destructible_v<T>, Item<T>, std::unique_ptr<T>>;

// Releases an item of kind T still queued when its queue goes.
template <typename T>
void dispose_item(void* item) {
    const QueueItem<T> owned(static_cast<T*>(item));
}

// Consumer end of a queue of T items: a view, copied freely; the queue
// outlives it.
template <typename T>
class GetFace {
  public:
    GetFace() = default;
    explicit GetFace(da_Queue_GetFace& face) : face_(&face) {}

    explicit operator bool() const { return face_ != nullptr; }
    int queued() const { return face_->queued(); }
    // The oldest item, now the caller's; empty when none is queued.
    QueueItem<T> get_data() const { return QueueItem<T>(static_cast<T*>(face_->get_data())); }

  private:
    da_Queue_GetFace* face_ = nullptr;
};

// Producer end of a queue of T items.
template <typename T>
class PutFace {
  public:
    PutFace() = default;
    explicit PutFace(da_Queue_PutFace& face) : face_(&face) {}

    // Hands the item, and with it its ownership, to the queue.
    void put_data(QueueItem<T> item) const { face_->put_data(item.release()); }

  private:
    da_Queue_PutFace* face_ = nullptr;
};

// Producer end that also reads the fill level, for a producer that keeps a
// number of items waiting on its output.
template <typename T>
class LevelFace {
  public:
    LevelFace() = default;
    explicit LevelFace(da_PDataQueue& queue) : queue_(&queue) {}

    int queued() const { return queue_->queued(); }
    void put_data(QueueItem<T> item) const { queue_->put_data(item.release()); }

  private:
    da_PDataQueue* queue_ = nullptr;
};

// A queue of T items, owned by whoever joins modules outside a graph (the
// conversion chains, tests). It stands in for any of its ends, and releases
// what it still holds as T items.
template <typename T>
class DataQueue {
  public:
    explicit DataQueue(int capacity = 16) : queue_(capacity, dispose_item<T>) {}

    int queued() { return queue_.queued(); }
    void put_data(QueueItem<T> item) { PutFace<T>(queue_).put_data(std::move(item)); }
    QueueItem<T> get_data() { return GetFace<T>(queue_).get_data(); }

    operator GetFace<T>() { return GetFace<T>(queue_); }
    operator PutFace<T>() { return PutFace<T>(queue_); }
    operator LevelFace<T>() { return LevelFace<T>(queue_); }

  private:
    da_PDataQueue queue_;
};

// A queue for the arrays its producers have finished with, of any kind: each
// producer sees it as a put end of its own kind, and drain() frees all.
class DiscardQueue {
  public:
    explicit DiscardQueue(int capacity = 16) : queue_(capacity) {}

    int queued() { return queue_.queued(); }
    void drain() { queue_.dispose_all(); }

    template <typename T>
    operator PutFace<T>() {
        static_assert(std::is_same_v<QueueItem<T>, Item<T>>, "only arrays are discarded");
        return PutFace<T>(queue_);
    }

  private:
    da_PDataQueue queue_;  // frees with item_free, which serves every array
};

}  // namespace x91
