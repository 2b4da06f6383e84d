// Queue helpers for driving one module in a test.
#pragma once

#include <cstring>
#include <vector>

#include "framework/queue_item.h"
#include "framework/typed_queues.h"

namespace x91 {

template <typename T>
Item<T> make_item(const std::vector<T>& values) {
    Item<T> item = item_alloc<T>(values.size());
    if (!values.empty()) std::memcpy(item.get(), values.data(), values.size() * sizeof(T));
    return item;
}

// Takes the oldest item off q as a vector of n values and releases it.
template <typename T>
std::vector<T> take_item(DataQueue<T>& q, int n) {
    const Item<T> item = q.get_data();
    return std::vector<T>(item.get(), item.get() + n);
}

// A complex spectrum item as the forward transform emits it: 2·max(n, 882)
// floats, of which lines 0 .. n − 1 are used.
inline Item<float> make_spectrum(const std::vector<float>& interleaved, int n) {
    const int k = n > 882 ? n : 882;
    Item<float> item = item_alloc_zeroed<float>(2 * k);
    std::memcpy(item.get(), interleaved.data(), interleaved.size() * sizeof(float));
    return item;
}

}  // namespace x91
