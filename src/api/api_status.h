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

// guarded() for a call that moves a handle's stream on (push, finish, read,
// feed, ...): such a call that ran out of memory, or failed otherwise
// without a status, may have done part of its work, so the stream can no
// longer be told whole. It marks `broken`, and once marked the calls are
// refused with X91_ERR_INVALID_STATE.
template <class Body>
x91_status stream_call(bool& broken, std::string& last_error, Body&& body) noexcept {
    if (broken) {
        last_error = "an earlier call ran out of memory; the stream is to be started over";
        return X91_ERR_INVALID_STATE;
    }
    const x91_status status = guarded(last_error, std::forward<Body>(body));
    if (status == X91_ERR_OUT_OF_MEMORY || status == X91_ERR_INTERNAL) broken = true;
    return status;
}

}  // namespace x91
