#include "library/threading.h"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>

namespace x91 {

Result check_threading(const Threading& threading) {
    if (threading.threads < 1 || threading.threads > kMaxThreads)
        return {Status::invalid_argument, "threads must be 1 to " + std::to_string(kMaxThreads) +
                                              ", not " + std::to_string(threading.threads)};
    if (threading.run_packets < 0 || threading.run_packets > kMaxRunPackets)
        return {Status::invalid_argument, "packets per run must be 0 to " +
                                              std::to_string(kMaxRunPackets) + ", not " +
                                              std::to_string(threading.run_packets)};
    return {};
}

ThreadPlan plan_threads(const Threading& threading) {
    ThreadPlan plan;
    plan.run_packets = threading.run_packets;
    if (threading.threads > 1) {
        plan.own_budget = std::make_unique<ThreadBudget>(threading.threads - 1);
        plan.budget = plan.own_budget.get();
    }
    return plan;
}

ThreadPlan plan_threads(ThreadBudget& shared) {
    ThreadPlan plan;
    if (shared.places() > 1) plan.budget = &shared;
    return plan;
}

int run_packets(const ThreadPlan& plan, int default_blocks, int frames_per_packet) {
    if (plan.run_packets > 0) return plan.run_packets;
    return std::max(1, (default_blocks + frames_per_packet / 2) / frames_per_packet);
}

int available_threads() {
    // A set for the usual 1024 processors first, then larger ones while the
    // kernel's own is larger.
    for (int cpus = 1024; cpus <= (1 << 16); cpus *= 2) {
        cpu_set_t* set = CPU_ALLOC(cpus);
        if (set == nullptr) break;
        const std::size_t size = CPU_ALLOC_SIZE(cpus);
        CPU_ZERO_S(size, set);
        const int got = sched_getaffinity(0, size, set);
        const int count = got == 0 ? CPU_COUNT_S(size, set) : 0;
        CPU_FREE(set);
        if (got == 0) return count > 0 ? count : 1;
        if (errno != EINVAL) break;
    }
    return 1;
}

}  // namespace x91
