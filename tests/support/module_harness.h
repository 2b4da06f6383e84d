// Queue helpers for driving one module in a test.
#pragma once

#include <cstring>
#include <vector>

#include "framework/data_queue.h"
#include "framework/queue_item.h"

namespace x91 {

template <typename T>
T* make_item(const std::vector<T>& values) {
    T* item = item_alloc<T>(values.size());
    if (!values.empty()) std::memcpy(item, values.data(), values.size() * sizeof(T));
    return item;
}

// Takes the oldest item off q as a vector of n values and frees it.
template <typename T>
std::vector<T> take_item(da_PDataQueue& q, int n) {
    auto* item = static_cast<T*>(q.get_data());
    std::vector<T> values(item, item + n);
    item_free(item);
    return values;
}

// A complex spectrum item as the forward transform emits it: 2·max(n, 882)
// floats, of which lines 0 .. n − 1 are used.
inline float* make_spectrum(const std::vector<float>& interleaved, int n) {
    const int k = n > 882 ? n : 882;
    float* item = item_alloc_zeroed<float>(2 * k);
    std::memcpy(item, interleaved.data(), interleaved.size() * sizeof(float));
    return item;
}

}  // namespace x91
