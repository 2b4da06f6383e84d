// The state a run's conversions share: where their messages go, the lock
// that keeps lines of conversions at once apart, the threads, the progress.
#pragma once

#include <cstdio>
#include <functional>
#include <iostream>
#include <mutex>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "command/console.h"
#include "command/progress_display.h"
#include "command/run_progress.h"
#include "command/std_streams.h"
#include "x91/x91.h"

namespace x91::cli {

// One per run, shared by its jobs (which may run on several threads at once).
struct RunConsole {
    std::ostream* progress;  // null with --quiet
    bool terminal;           // progress goes to a terminal
    bool parallel;
    x91_threads* threads;
    // --skip-existing, and -d (whose outputs need their folders made).
    bool skip_existing;
    bool makes_folders;
    // How far the run has come, for the progress of each file.
    RunProgress* run;
    std::mutex mutex;
    // The files the encodes wrote, as they finish (kept for --replay-gain).
    std::vector<std::string> encoded;

    // Conversions running at once show no progress of their own, only the
    // line finish_job() prints.
    // Its notes go where its problems go, unless --quiet.
    ProgressDisplay display_for_job(std::ostringstream& errors, int file_number) const {
        return ProgressDisplay(parallel ? nullptr : progress, terminal,
                               progress ? for_job(errors).errors : nullptr, run, file_number);
    }

    // Where one conversion's problems go: standard error when conversions
    // run one after another; with several at once, `errors`, printed whole
    // when the conversion ends.
    Console for_job(std::ostringstream& errors) const {
        return Console{parallel ? &errors : &std::cerr};
    }

    void finish_job(const std::ostringstream& errors, const std::string& line) {
        if (!parallel) return;
        std::lock_guard lock(mutex);
        if (progress && !line.empty()) {
            *progress << line;
            flush_stream(*progress);
        }
        std::cerr << errors.str() << std::flush;
    }

    // Runs a job's work. Memory may run out anywhere in it, also while its
    // outcome is reported: the job then fails with a line written without
    // taking memory, and the run goes on with the next file.
    bool fail_when_out_of_memory(const std::string& name, const std::function<bool()>& work) {
        try {
            return work();
        } catch (const std::bad_alloc&) {
            std::lock_guard lock(mutex);
            std::fputs("x91: ", stderr);
            std::fputs(name.c_str(), stderr);
            std::fputs(": out of memory\n", stderr);
            return false;
        }
    }
};

}  // namespace x91::cli
