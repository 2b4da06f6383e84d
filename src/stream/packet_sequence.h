// Decodes the packets of one stream in order from any packet on, on one
// thread or several, and places each packet's audio on the raw timeline:
// every decoded frame, lead-in and padding included (see PacketTimeline).
// A packet that cannot be decoded at all gives silence of its length, and
// after a restart at packet q > 0 silence stands where the audio needs the
// packet before q; so every packet's audio keeps its place and holds
// nothing wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "format/checked_settings.h"
#include "library/decoder.h"
#include "stream/packet_timeline.h"
#include "x91/status.h"

namespace x91 {

// The threads a decode works on: its own, or places of a budget shared
// with others (a program run's).
struct DecodeThreads {
    Threading own;
    ThreadBudget* shared = nullptr;
};

class PacketSequence {
  public:
    PacketSequence(const CheckedSettings& settings, DecodeThreads threads);

    // Drops what was pushed and not taken, and the decoders' state; the
    // next packet push() gets is number `packet`.
    void restart(std::uint64_t packet);

    // Hands in the next packet's bytes (without the count). Its audio comes
    // out of take(), at once with one thread, once its run is decoded with
    // more.
    void push(const std::uint8_t* data, std::size_t size);

    // No packet follows: take() waits for the packets still being decoded.
    void finish();

    struct Decoded {
        std::uint64_t number = 0;
        std::uint64_t raw_start = 0;  // where its audio starts on the raw timeline
        // Interleaved, valid until the sequence is next used: where the
        // decoder left it, or, where silence stands in for some, in
        // `made`.
        std::span<const std::int16_t> pcm;
        std::vector<std::int16_t> made;
        // ok, or packet_overrun and packet_unread_bytes with the audio
        // decoded all the same, or packet_too_large with silence.
        Result result;
        std::size_t bytes = 0;  // of the packet
    };
    // The oldest packet pushed and not taken, once decoded; false when none
    // is (yet).
    bool take(Decoded& out);

  private:
    struct Entry {
        std::uint64_t number;
        std::size_t bytes;
        bool first_after_restart;
        Result refusal;  // not ok: the decoder did not take the packet
    };
    struct Running {
        Decoder decoder;
        std::size_t pending = 0;  // packets pushed and not pulled
    };
    void start_decoder();
    void fill(const Entry& entry, std::span<const std::int16_t> decoded, Decoded& out) const;

    CheckedSettings settings_;
    DecodeThreads threads_;
    PacketTimeline raw_;
    // Oldest first; all but the last are finished and only drained.
    std::deque<Running> decoders_;
    std::deque<Entry> entries_;
    std::uint64_t next_ = 0;
    bool restarted_ = false;
    bool finished_ = false;
};

}  // namespace x91
