#include "command/job_runner.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "command/codec_handles.h"
#include "command/file_identity.h"

namespace x91::cli {

namespace {

// Standard streams (empty names) are nobody's dependency.
std::optional<FileIdentity> identity_of(const std::string& name) {
    if (name.empty()) return std::nullopt;
    return identify(name);
}

bool same(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b) {
    return a && b && same_file(*a, *b);
}

}  // namespace

std::vector<std::vector<int>> job_dependencies(const std::vector<Job>& jobs) {
    std::vector<std::optional<FileIdentity>> in, out;
    for (const Job& job : jobs) {
        in.push_back(identity_of(job.input));
        out.push_back(identity_of(job.output));
    }
    std::vector<std::vector<int>> deps(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            const bool reads_its_output = same(in[i], out[j]);
            const bool writes_its_input = same(out[i], in[j]);
            const bool writes_its_output = same(out[i], out[j]);
            if (reads_its_output || writes_its_input || writes_its_output)
                deps[i].push_back(static_cast<int>(j));
        }
    }
    return deps;
}

bool run_jobs(std::vector<Job>& jobs, int threads, x91_threads* budget) {
    auto run_holding_a_place = [budget](Job& job) {
        const HeldPlace place(budget);
        return job.run();
    };
    bool all_ok = true;
    if (threads <= 1 || jobs.size() <= 1) {
        for (Job& job : jobs) all_ok &= run_holding_a_place(job);
        return all_ok;
    }

    const std::vector<std::vector<int>> deps = job_dependencies(jobs);
    enum class State { waiting, running, done };
    std::vector<State> state(jobs.size(), State::waiting);
    std::mutex mutex;
    std::condition_variable changed;

    // The first waiting job in argument order whose dependencies are done;
    // -1 when none can start now.
    auto next_ready = [&]() -> int {
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            if (state[i] != State::waiting) continue;
            if (std::all_of(deps[i].begin(), deps[i].end(), [&](int j) {
                    return state[static_cast<std::size_t>(j)] == State::done;
                }))
                return static_cast<int>(i);
        }
        return -1;
    };
    auto any_waiting = [&]() {
        return std::find(state.begin(), state.end(), State::waiting) != state.end();
    };

    auto worker = [&]() {
        std::unique_lock lock(mutex);
        for (;;) {
            int i = -1;
            changed.wait(lock, [&] { return !any_waiting() || (i = next_ready()) >= 0; });
            if (i < 0) return;
            state[static_cast<std::size_t>(i)] = State::running;
            lock.unlock();
            const bool ok = run_holding_a_place(jobs[static_cast<std::size_t>(i)]);
            lock.lock();
            all_ok &= ok;
            state[static_cast<std::size_t>(i)] = State::done;
            changed.notify_all();
        }
    };
    // The calling thread is one of the workers, so the jobs all run even
    // where no further thread can start (a limit on processes or memory):
    // they then share the threads there are.
    const int count = std::min<int>(threads, static_cast<int>(jobs.size()));
    std::vector<std::thread> pool;
    try {
        pool.reserve(static_cast<std::size_t>(count));
        for (int t = 1; t < count; ++t) pool.emplace_back(worker);
    } catch (const std::exception&) {
        // No further thread, for want of threads (system_error) or of
        // memory for one (bad_alloc): the jobs share those started.
    }
    worker();
    for (std::thread& t : pool) t.join();
    return all_ok;
}

}  // namespace x91::cli
