// How the C interface reports outcomes: the library's Status as an
// x91_status, and every entry point run so that no exception leaves it.
#pragma once

#include <new>
#include <string>
#include <utility>

#include "x91/status.h"
#include "x91/x91.h"

namespace x91 {

x91_status to_c_status(Status status);

// The details of the last failed call on this thread that has no handle to
// keep them (x91_thread_last_error).
std::string& thread_last_error();

// Runs body (returning a Result) and turns its outcome into an x91_status,
// keeping the message in last_error. Running out of memory and any other
// exception become status codes here: nothing may unwind into C callers.
template <class Body>
x91_status guarded(std::string& last_error, Body&& body) noexcept {
    try {
        Result result = std::forward<Body>(body)();
        last_error = std::move(result.message);
        return to_c_status(result.status);
    } catch (const std::bad_alloc&) {
        last_error.clear();  // the message itself might not fit
        return X91_ERR_OUT_OF_MEMORY;
    } catch (...) {
        last_error.clear();
        return X91_ERR_INTERNAL;
    }
}

}  // namespace x91
