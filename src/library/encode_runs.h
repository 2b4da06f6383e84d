// Encoding one stream on several threads: its blocks cut into runs of whole
// packets, each run encoded by a chain of its own, the packets joined in
// order. They are the packets one chain would give for the whole stream.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "format/checked_settings.h"
#include "format/settings.h"
#include "library/run_pool.h"
#include "library/spare_buffers.h"
#include "library/thread_budget.h"

namespace x91 {

// A run of P packets starting at packet g needs the blocks from F·g − 1 to
// F·(g + P) (F frames per packet): the first only as the transform's
// previous block (none for g = 0, where the stream starts from silence), the
// last because a packet leaves the encoder with the first frame of the next
// group. Neighbouring runs therefore share two blocks.
//
// Memory: besides what the pool keeps pending (see RunPool), only the run
// being filled, up to F·P + 2 blocks of 3528 bytes.
class EncodeRuns {
  public:
    using Packets = std::vector<std::vector<std::uint8_t>>;

    EncodeRuns(const da_ESettings& e, const CheckedSettings& s, ThreadBudget& budget,
               int run_packets);

    // Adds one block of 882 interleaved little-endian stereo frames (3528
    // bytes) to the stream; hands a run in when it is whole. Waits, working
    // on runs, while as many runs are pending as the pool keeps.
    void feed_block(const unsigned char* pcm);

    // Hands in the rest of the stream (all its blocks fed) and waits until
    // every run has been encoded.
    void finish();

    // Moves the oldest packet ready into packet; false when none is.
    bool next_packet(std::vector<std::uint8_t>& packet);
    // A packet is ready: after finish(), one is left to take.
    bool has_packet() const { return !ready_.empty(); }

  private:
    struct Settings {
        da_ESettings e;
        CheckedSettings s;
    };
    static Packets encode_run(const Settings& settings, const std::vector<unsigned char>& blocks,
                              bool preloaded);
    void hand_in();
    void keep(Packets&& packets);

    std::shared_ptr<const Settings> settings_;
    std::shared_ptr<SpareBuffers<unsigned char>> spare_blocks_;
    int frames_per_packet_;
    int run_blocks_;                  // blocks fed to a run besides the preloaded one
    std::vector<unsigned char> run_;  // the run being filled
    bool preloaded_ = false;          // run_ starts with the block before the run
    int blocks_ = 0;                  // blocks in run_ after that one
    std::deque<std::vector<std::uint8_t>> ready_;
    OrderedRuns<Packets> runs_;
};

}  // namespace x91
