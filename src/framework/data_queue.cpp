#include "framework/data_queue.h"

namespace x91 {

da_PDataQueue::da_PDataQueue(int capacity, ItemDisposer dispose)
    : capacity_(capacity > 0 ? capacity : 1), slots_(new void*[capacity_]), dispose_(dispose) {}

da_PDataQueue::~da_PDataQueue() {
    dispose_all();
    delete[] slots_;
}

void da_PDataQueue::dispose_all() {
    while (queued() > 0) dispose_(get_data());
}

int da_PDataQueue::queued() {
    return static_cast<int>(put_count_ - get_count_);
}

// The item is the queue's from the call on: should the ring fail to grow,
// it is disposed of before the failure goes on, not lost.
void da_PDataQueue::put_data(void* item) {
    if (queued() == capacity_) {
        try {
            sizeup();
        } catch (...) {
            dispose_(item);
            throw;
        }
    }
    slots_[put_count_ % capacity_] = item;
    ++put_count_;
}

void* da_PDataQueue::get_data() {
    if (queued() <= 0) return nullptr;
    void* item = slots_[get_count_ % capacity_];
    ++get_count_;
    return item;
}

void da_PDataQueue::sizeup() {
    const int grown = 2 * capacity_;
    void** larger = new void*[grown];
    for (long long k = get_count_; k < put_count_; ++k) larger[k % grown] = slots_[k % capacity_];
    delete[] slots_;
    slots_ = larger;
    capacity_ = grown;
}

}  // namespace x91
