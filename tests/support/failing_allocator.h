// A test build's global operator new that can be told to fail: the N-th
// allocation from a given moment on throws std::bad_alloc (a nothrow one
// returns null), on whichever thread it happens. Sweeping N over every
// allocation of a piece of work shows that running out of memory anywhere
// in it ends in an error status, never in an abort, a leak or a file left.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace x91test {

// Makes the n-th allocation from now fail (n from 1); 0 lets all succeed.
void fail_allocation(std::size_t n);
// Allocations since the last fail_allocation() call, the failed one included.
std::size_t allocations_seen();

// While one lives, allocations of the thread that made it neither count nor
// fail: the test's own bookkeeping around the work swept.
class AllocationsUnwatched {
  public:
    AllocationsUnwatched();
    ~AllocationsUnwatched();
    AllocationsUnwatched(const AllocationsUnwatched&) = delete;
    AllocationsUnwatched& operator=(const AllocationsUnwatched&) = delete;
};

// What one run of the work swept ended in: empty when it ended as it may
// (success, or an error status with nothing left behind), otherwise what
// went wrong. A run weighs its outcome with its allocations unwatched.
using SweepRun = std::function<std::string()>;

// Runs `run` with every allocation in turn made to fail, from the first on,
// until a run makes fewer allocations than the one set to fail: that last
// run is the one where none failed. Returns "allocation N: problem" for
// each run that did not end as it may, and in `runs` the number of runs.
std::vector<std::string> sweep_allocation_failures(const SweepRun& run, std::size_t& runs);

}  // namespace x91test
