// Runs a list of conversions in argument order, or on several threads with
// each one that touches a file an earlier one writes (or reads) waiting for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "x91/x91.h"

namespace x91::cli {

struct Job {
    // Files the job reads and writes; empty for standard input and output,
    // which no other job names.
    std::string input;
    std::string output;
    // Runs the conversion; true when it succeeded.
    std::function<bool()> run;
};

// For each job, the earlier jobs it must wait for: those that write its
// input, read its output, or write its output (so the later write still
// wins). Names are compared as the files they stand for (see FileIdentity),
// so "a.x91", "./link/a.x91" with link -> . and a hard link all meet.
std::vector<std::vector<int>> job_dependencies(const std::vector<Job>& jobs);

// Runs every job and returns true when all succeeded. With one thread they
// run one after another in order; with more, up to that many at once, a job
// starting once every job it depends on has finished. Threads that cannot
// start are done without. A running job holds a place of `budget`, the
// threads of the whole run, and its conversion borrows the places no job
// waits for.
bool run_jobs(std::vector<Job>& jobs, int threads, x91_threads* budget);

}  // namespace x91::cli
