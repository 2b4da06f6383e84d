// First-in first-out queues of untyped items joining the processing modules.
// Modules see them through the typed ends of framework/typed_queues.h.
#pragma once

#include "framework/queue_item.h"

namespace x91 {

// Producer side of a queue. put_data hands the item (and its ownership) over,
// also when it fails for want of memory.
class da_Queue_PutFace {
  public:
    virtual void put_data(void* item) = 0;

  protected:
    ~da_Queue_PutFace() = default;
};

// Consumer side of a queue. get_data hands the oldest item over, or null.
class da_Queue_GetFace {
  public:
    virtual int queued() = 0;
    virtual void* get_data() = 0;

  protected:
    ~da_Queue_GetFace() = default;
};

// A ring of slots that doubles when full, so it never refuses or loses an
// item. Item k (counting puts from 0) lives in slot k mod capacity.
class da_PDataQueue final : public da_Queue_PutFace, public da_Queue_GetFace {
  public:
    // dispose releases the items still queued at destruction; plain arrays
    // by default, packet objects where a queue carries packets.
    explicit da_PDataQueue(int capacity, ItemDisposer dispose = item_free);
    ~da_PDataQueue();
    da_PDataQueue(const da_PDataQueue&) = delete;
    da_PDataQueue& operator=(const da_PDataQueue&) = delete;

    void put_data(void* item) override;
    int queued() override;
    void* get_data() override;

    int capacity() const { return capacity_; }
    void set_disposer(ItemDisposer dispose) { dispose_ = dispose; }
    // Takes every queued item, oldest first, and disposes of it.
    void dispose_all();

  private:
    void sizeup();

    int capacity_;
    // 64-bit so that even a days-long stream cannot overflow the counters.
    long long put_count_ = 0;
    long long get_count_ = 0;
    void** slots_;
    ItemDisposer dispose_;
};

}  // namespace x91
