// Allocation of the plain arrays that travel through the data queues.
#pragma once

#include <cstddef>
#include <new>

// Array items are raw storage of trivially destructible values, so any holder
// can release one without knowing its element type: item_free(p) matches
// item_alloc<T>(n) exactly.
template <typename T>
T* item_alloc(std::size_t count) {
    return static_cast<T*>(::operator new[](count * sizeof(T)));
}

// Zero-filled variant for accumulators and padded spectra.
template <typename T>
T* item_alloc_zeroed(std::size_t count) {
    T* p = item_alloc<T>(count);
    for (std::size_t i = 0; i < count; ++i) p[i] = T{};
    return p;
}

inline void item_free(void* item) { ::operator delete[](item); }

// Disposes of an item still queued when its queue is destroyed.
using ItemDisposer = void (*)(void*);
