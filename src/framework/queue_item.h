// Allocation of the plain arrays that travel through the data queues.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace x91 {

// Array items are raw storage of trivially destructible values, so any holder
// can release one without knowing its element type: item_free(p) matches
// item_alloc<T>(n) exactly, and the owning Item<T> releases through it.
//
// Every frame allocates the same few dozen arrays and frees them a frame or a
// packet later. Freed arrays are kept for reuse on a small per-thread list
// per size class: without it the heap grows and shrinks with every packet
// (the allocator returns its top to the system and faults it back in). Each
// thread has its own lists, so conversions running on several threads share
// nothing; an item freed on another thread than its own simply joins that
// thread's lists. A 16-byte header before the array records its size class.
namespace queue_item_detail {

// Under AddressSanitizer every array goes straight back to the heap, so a use
// after item_free is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define X91_ITEM_LISTS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define X91_ITEM_LISTS 0
#endif
#endif
#ifndef X91_ITEM_LISTS
#define X91_ITEM_LISTS 1
#endif

constexpr std::size_t kHeader = 16;                // keeps the array 16-byte aligned
constexpr std::size_t kSmallest = 64;              // class c holds blocks of 64 << c bytes
constexpr int kClasses = 11;                       // up to 64 KiB; larger arrays bypass the lists
constexpr std::size_t kKeptPerClass = 256 * 1024;  // bytes each list may keep
constexpr int kMaxKept = 64;

constexpr int class_of(std::size_t block) {
    int c = 0;
    while (c < kClasses && (kSmallest << c) < block) ++c;
    return c;  // kClasses: too large for the lists
}

constexpr int kept_limit(int c) {
    const std::size_t n = kKeptPerClass / (kSmallest << c);
    return n > static_cast<std::size_t>(kMaxKept) ? kMaxKept : static_cast<int>(n);
}

// Plain storage, so it stays usable (and then unused) after the thread's
// clean-up below has run.
struct Lists {
    void* kept[kClasses][kMaxKept];
    int count[kClasses];
    bool closed;
};

inline thread_local Lists lists{};

// Returns the kept blocks to the heap when the thread ends; arrays freed
// after that go straight to the heap.
struct Closer {
    ~Closer() {
        for (int c = 0; c < kClasses; ++c)
            while (lists.count[c] > 0) ::operator delete(lists.kept[c][--lists.count[c]]);
        lists.closed = true;
    }
};

inline void* allocate(std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(-1) - kHeader - (kSmallest << kClasses))
        throw std::bad_array_new_length();
    thread_local Closer closer;
    (void)closer;
    const int c = X91_ITEM_LISTS ? class_of(bytes + kHeader) : kClasses;
    void* raw;
    if (c < kClasses && lists.count[c] > 0) {
        raw = lists.kept[c][--lists.count[c]];
    } else {
        raw = ::operator new(c < kClasses ? kSmallest << c : bytes + kHeader);
    }
    *static_cast<std::int32_t*>(raw) = c;
    return static_cast<unsigned char*>(raw) + kHeader;
}

inline void release(void* item) {
    if (!item) return;
    void* raw = static_cast<unsigned char*>(item) - kHeader;
    const int c = *static_cast<const std::int32_t*>(raw);
    if (c < kClasses && !lists.closed && lists.count[c] < kept_limit(c)) {
        lists.kept[c][lists.count[c]++] = raw;
        return;
    }
    ::operator delete(raw);
}

}  // namespace queue_item_detail

inline void item_free(void* item) {
    queue_item_detail::release(item);
}

// Releases an array item: whoever holds an Item owns the array.
struct ItemDeleter {
    void operator()(void* item) const { item_free(item); }
};

// An owned array item of T values.
template <typename T>
using Item = std::unique_ptr<T[], ItemDeleter>;

template <typename T>
Item<T> item_alloc(std::size_t count) {
    return Item<T>(static_cast<T*>(queue_item_detail::allocate(count * sizeof(T))));
}

// Zero-filled variant for accumulators and padded spectra.
template <typename T>
Item<T> item_alloc_zeroed(std::size_t count) {
    Item<T> item = item_alloc<T>(count);
    for (std::size_t i = 0; i < count; ++i) item[i] = T{};
    return item;
}

// Disposes of an item still queued when its queue is destroyed.
using ItemDisposer = void (*)(void*);

}  // namespace x91
