// Decoding one stream packet by packet, on the caller's thread or on
// several: cut into runs of packets, each run decoded by a chain of its own
// after a warm-up on the packets before it, the audio joined in order. It
// is the audio one chain gives for the whole stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "format/checked_settings.h"
#include "graphs/decode_chain.h"
#include "library/run_pool.h"
#include "library/spare_buffers.h"
#include "library/thread_budget.h"
#include "x91/status.h"

namespace x91 {

using PcmBuffers = SpareBuffers<std::int16_t>;

// The audio of decoded packets, oldest first, each packet's frames with its
// result. It is kept in the pieces it was decoded in (a run each, with
// threads), so handing a run on moves it instead of copying it, and a
// piece's buffer goes back to the buffers once its last packet has been
// taken.
class DecodedPackets {
  public:
    explicit DecodedPackets(std::shared_ptr<PcmBuffers> buffers = nullptr)
        : buffers_(std::move(buffers)) {}

    bool empty() const { return packets_.empty(); }
    std::size_t frames() const { return values_ / 2; }

    // Where a packet's samples go, before add_packet() counts them in.
    std::vector<std::int16_t>& pcm();
    // Adds a packet: the samples added to pcm() since the last one, and its
    // result.
    void add_packet(Result result);
    const Result& last_result() const { return packets_.back().result; }

    void append(DecodedPackets&& more);
    // Points out at the oldest packet's audio, which stays where it is until
    // the next call of any member; its result.
    Result take_packet(std::span<const std::int16_t>& out);
    // Moves all audio to the end of out and forgets the results; the frames.
    std::size_t take_all(std::vector<std::int16_t>& out);

  private:
    struct Piece {
        std::vector<std::int16_t> pcm;  // interleaved, left first
        std::size_t taken = 0;          // samples at the front already taken
        std::size_t added = 0;          // the end of the last packet added
    };
    struct Packet {
        std::size_t values;  // samples, two per frame
        Result result;
    };
    // Gives back the buffers of the pieces at the front whose audio has all
    // been taken.
    void drop_taken();
    void drop_front();

    std::shared_ptr<PcmBuffers> buffers_;
    std::deque<Piece> pieces_;
    std::deque<Packet> packets_;
    std::size_t values_ = 0;  // samples of the packets not yet taken
};

// Decodes one packet (its bytes, without the count) on chain and adds its
// audio and result to decoded: ok, or packet_overrun or packet_unread_bytes,
// whose audio is there all the same.
void decode_packet(DecodeChain& chain, const std::uint8_t* data, std::size_t size,
                   DecodedPackets& decoded);

// Chains given back after their runs, handed out again to runs that warm
// a chain up fully: the warm-up leaves a used chain as it leaves a new one
// (nothing before the warm-up frames leaves a trace), and building a chain,
// its tables and buffers, costs about what decoding a few frames does. There
// are never more chains than were in use at once. Safe to share between
// threads.
class SpareChains {
  public:
    // A used chain when there is one, else a new one.
    std::unique_ptr<DecodeChain> take(const CheckedSettings& settings);
    void give(std::unique_ptr<DecodeChain> chain);

  private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<DecodeChain>> spare_;
};

// A run starting at packet g warms a new chain up with the last
// DecodeChain::kWarmUpFrames frames before F·g (F frames per packet): the
// end of packet g − 1, or of packets g − 2 and g − 1 when a packet holds a
// single frame. Runs share no audio: a run's first packet gives the blocks
// one chain gives for it.
//
// Memory: besides what the pool keeps pending (see RunPool), the packets of
// the run being filled and the two before it.
class DecodeRuns {
  public:
    DecodeRuns(const CheckedSettings& s, ThreadBudget& budget, int run_packets);

    // Adds one packet (1 to kMaxPacketBytes bytes) to the stream; hands a
    // run in when it is whole. Waits, working on runs, while as many runs
    // are pending as the pool keeps, and keeps what they gave.
    void push_packet(const std::uint8_t* data, std::size_t size);

    // Hands in the packets of an unfinished run: the end of the stream.
    void finish();

    enum class Wait {
        no,        // only the runs done so far
        for_next,  // and, when none is, the oldest pending run
        for_all,   // every run handed in
    };
    // The audio of the runs decoded, whole packets in stream order, with
    // the runs done or waited for added.
    DecodedPackets& decoded(Wait wait);

  private:
    using Packet = std::vector<std::uint8_t>;
    struct Run {
        std::vector<Packet> warm_up;  // oldest first
        std::vector<int> kept;        // frames kept of each
        std::vector<Packet> packets;
    };
    static DecodedPackets decode_run(const CheckedSettings& settings, const Run& run,
                                     std::shared_ptr<PcmBuffers> buffers, SpareChains& chains);
    void hand_in();

    std::shared_ptr<const CheckedSettings> settings_;
    std::shared_ptr<PcmBuffers> buffers_;
    std::shared_ptr<SpareChains> chains_;
    int frames_per_packet_;
    int run_packets_;
    std::int64_t packets_handed_in_ = 0;
    std::deque<Packet> before_;  // the last packets before the run being filled
    std::vector<Packet> run_;
    DecodedPackets decoded_;
    OrderedRuns<DecodedPackets> runs_;
};

}  // namespace x91
