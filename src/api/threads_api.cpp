#include "api/threads_api.h"

#include "api/api_status.h"
#include "library/threading.h"

extern "C" {

x91_status x91_threads_create(x91_threads** threads, int count) {
    if (threads == nullptr) return X91_ERR_INVALID_ARGUMENT;
    *threads = nullptr;
    if (count < 1 || count > x91::kMaxThreads) return X91_ERR_INVALID_ARGUMENT;
    return x91::guarded(x91::thread_last_error(), [&] {
        *threads = new x91_threads(count);
        return x91::Result{};
    });
}

void x91_threads_destroy(x91_threads* threads) {
    delete threads;
}

void x91_threads_hold(x91_threads* threads) {
    if (threads != nullptr) threads->budget.take();
}

void x91_threads_release(x91_threads* threads) {
    if (threads != nullptr) threads->budget.give_back();
}

}  // extern "C"
