// The threads an encoder or decoder works with: its own budget for a
// Threading the caller chose, or the budget of a whole program run.
//
// With more than one thread, the stream is cut into runs of whole packets;
// each run is coded on its own by the next thread free, after a short
// warm-up on the data just before it, and the runs are joined in order. The
// calls then hand the work on instead of doing it: output comes in whole
// runs, later than its input, and all of it once the stream is finished.
// Memory grows with threads x run length, never with the stream: at most
// 2 x threads + 2 runs are held at once, each with its input and output (3528
// bytes of PCM per block, 0.9 MB for a run of 256 blocks), and one coding
// chain per thread; the output not yet taken comes on top, as with one
// thread. The output is byte for byte that of one thread.
#pragma once

#include <memory>

#include "library/thread_budget.h"
#include "x91/constants.h"
#include "x91/status.h"

namespace x91 {

struct Threading {
    // Threads working on the stream, the caller's included, 1 to
    // kMaxThreads. With 1 (the default) every call does its work before it
    // returns and no thread is started.
    int threads = 1;
    // Packets per run, 0 to kMaxRunPackets; 0 lets the library choose runs
    // of about kEncodeRunBlocks or kDecodeRunBlocks blocks, at least a
    // packet. Longer runs spend less on warm-ups and hold more memory.
    int run_packets = 0;
};
inline constexpr int kMaxThreads = X91_MAX_THREADS;
inline constexpr int kMaxRunPackets = 4096;
// Encoding warms up on one block, decoding on most of a packet, so decoding
// runs are longer: 2.56 s and 5.12 s of audio.
inline constexpr int kEncodeRunBlocks = 128;
inline constexpr int kDecodeRunBlocks = 256;

// The processors this process may run on (its CPU affinity), at least 1:
// the number of threads that keeps each of them busy.
int available_threads();

struct ThreadPlan {
    // Null: everything on the caller's thread, as each call returns.
    ThreadBudget* budget = nullptr;
    int run_packets = 0;  // 0: the library's choice
    std::unique_ptr<ThreadBudget> own_budget;
};

// invalid_argument for values out of range.
Result check_threading(const Threading& threading);

// The plan for a checked Threading: the caller's thread and the spare
// places of a budget of its own.
ThreadPlan plan_threads(const Threading& threading);

// The plan for an encoder or decoder of a program run whose threads are
// counted by `shared`: the caller's thread holds one of its places, and
// the object takes more while they are spare (with a single place, it
// works as with one thread).
ThreadPlan plan_threads(ThreadBudget& shared);

// Packets per run: the choice made, or as many as come closest to
// `default_blocks` blocks, at least one. Counted in blocks, a run holds as
// much audio whatever the frames per packet a header gives.
int run_packets(const ThreadPlan& plan, int default_blocks, int frames_per_packet);

}  // namespace x91
