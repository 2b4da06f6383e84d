#include "framework/module.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "framework/debug_messages.h"

namespace x91 {

bool DebugMsgsOn = false;

int get_millis() {
    // A monotonic clock: only differences of two readings are used, and they
    // must not jump when the wall clock is set. Wrapping 32-bit arithmetic
    // keeps differences right across the wrap.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<int>(static_cast<std::uint32_t>(ms));
}

void da_Module::work_t() {
    work_time =
        static_cast<int>(static_cast<unsigned>(work_time) - static_cast<unsigned>(get_millis()));
    work();
    work_time =
        static_cast<int>(static_cast<unsigned>(work_time) + static_cast<unsigned>(get_millis()));
}

da_Module::~da_Module() {
    // printf rather than iostreams: a library that never prints keeps the
    // streams' locale machinery out of what it links (a third of the
    // browser build).
    if (DebugMsgsOn) std::printf(" WorkTime: %d @ %s\n", work_time, name);
}

}  // namespace x91
