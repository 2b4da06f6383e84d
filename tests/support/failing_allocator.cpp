#include "support/failing_allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace x91test {

namespace {

// Counts allocations from fail_allocation() on; the one numbered fail_at
// fails. Relaxed order is enough: the work's threads are joined before
// the counts are read.
std::atomic<std::size_t> seen{0};
std::atomic<std::size_t> fail_at{0};
thread_local int unwatched = 0;

bool next_fails() {
    if (unwatched > 0 || fail_at.load(std::memory_order_relaxed) == 0) return false;
    return seen.fetch_add(1, std::memory_order_relaxed) + 1 == fail_at.load();
}

void* allocate(std::size_t size, std::size_t alignment) {
    if (next_fails()) return nullptr;
    if (size == 0) size = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}

void* allocate_or_throw(std::size_t size, std::size_t alignment) {
    void* p = allocate(size, alignment);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void fail_allocation(std::size_t n) {
    fail_at.store(0);
    seen.store(0);
    fail_at.store(n);
}

std::size_t allocations_seen() {
    return seen.load();
}

AllocationsUnwatched::AllocationsUnwatched() {
    ++unwatched;
}
AllocationsUnwatched::~AllocationsUnwatched() {
    --unwatched;
}

std::vector<std::string> sweep_allocation_failures(const SweepRun& run, std::size_t& runs) {
    std::vector<std::string> problems;
    runs = 0;
    for (std::size_t n = 1;; ++n) {
        fail_allocation(n);
        const std::string problem = run();
        const std::size_t made = allocations_seen();
        fail_allocation(0);
        ++runs;
        if (!problem.empty())
            problems.push_back("allocation " + std::to_string(n) + ": " + problem);
        if (made < n) break;
    }
    return problems;
}

}  // namespace x91test

// Every form of the global operator new and delete, so that none of them
// bypasses the count.
void* operator new(std::size_t size) {
    return x91test::allocate_or_throw(size, 0);
}
void* operator new[](std::size_t size) {
    return x91test::allocate_or_throw(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return x91test::allocate_or_throw(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return x91test::allocate_or_throw(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return x91test::allocate(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return x91test::allocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return x91test::allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return x91test::allocate(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}

// TagLib's constructors are not written for exceptions: when an allocation
// inside one fails, what it had made so far is lost. The sweeps check that
// our code unwinds cleanly, so the leak checker passes over leaks that
// TagLib's own frames allocated. (Visible, so the sanitizer's runtime finds
// it in a build that hides symbols by default.)
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libtag.so\n";
}
