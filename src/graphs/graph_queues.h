// The numbered queues a graph joins its modules with, and the discard queue
// that collects the items they have finished with.
#pragma once

#include <array>
#include <cassert>
#include <memory>
#include <type_traits>

#include "framework/data_queue.h"
#include "framework/typed_queues.h"

namespace x91 {

// A graph's name for one of its queues: the queue's number and the kind of
// item it carries.
template <typename T>
struct QueueId {
    int number;
};

// Queues 0 to 99, built in number order with capacity 16 and destroyed in
// reverse order, each releasing what it still holds. Queue 0 collects every
// array the graph's modules have finished with; drain_discard() frees them
// all at the end of each graph step.
class GraphQueues {
  public:
    static constexpr int kQueueCount = 100;

    GraphQueues();

    // Joins a producer's end to a consumer's end through queue `id` (1 to
    // 99), which from now on releases leftover items as items of its kind.
    template <typename T, typename Producer>
    void join(QueueId<T> id, Producer& from, GetFace<T>& to) {
        static_assert(std::is_same_v<Producer, PutFace<T>> ||
                      std::is_same_v<Producer, LevelFace<T>>);
        assert(id.number > 0 && id.number < kQueueCount);
        da_PDataQueue& queue = *queues_[id.number];
        queue.set_disposer(dispose_item<T>);
        from = Producer(queue);
        to = GetFace<T>(queue);
    }

    // Joins an output whose items nobody needs any more to the discard queue.
    template <typename T>
    void discard(PutFace<T>& from) {
        from = discard_;
    }

    // Frees every spent item gathered on the discard queue.
    void drain_discard() { discard_.drain(); }

  private:
    // Queue 0: declared first, so built first and destroyed last.
    DiscardQueue discard_;
    // Queues 1 to 99 at their numbers; slot 0 stays empty.
    std::array<std::unique_ptr<da_PDataQueue>, kQueueCount> queues_;
};

}  // namespace x91
