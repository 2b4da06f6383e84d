// The one rule every decode of x91 follows for damage, whether it reads a
// file, a stream or packets a player finds itself:
// - A packet whose decoding runs past its end is damaged. Its audio, decoded
//   as far as its bits go (the bit reader gives zeros behind them), is kept,
//   and the decode goes on: packets are framed by their counts, so one
//   damaged packet does not disturb the next.
// - A packet that leaves whole bytes unread decodes as it is; only a check
//   counts it as damage.
// - A packet that cannot be decoded at all (no bytes, or more than the
//   largest) gives silence of its length and counts as damaged.
// - After X91_MAX_DAMAGED_IN_A_ROW damaged packets in a row the decode stops,
//   keeping the audio up to the last of them: what follows is no longer a
//   file with a flaw but noise, and since every packet yields its frames
//   whatever its size, going on would let a small file decode to an
//   enormous one.
// - Damage to the framing (a count no packet can have, the data ending
//   inside a count or a packet, or without its end marker) ends the decode:
//   x91 has no sync words to find the next packet by. The audio before it
//   is kept.
#pragma once

#include <cstdint>

#include "x91/constants.h"
#include "x91/status.h"

namespace x91 {

inline constexpr int kMaxDamagedInARow = X91_MAX_DAMAGED_IN_A_ROW;

class DamagePolicy {
  public:
    // Weighs the outcome of packet `number` (counted from 0), in stream
    // order, and gives the outcome to tell with its audio: ok, or the
    // damage named with the packet ("packet 3 is damaged: ..."), which is
    // too_damaged once the decode must stop after it.
    Result weigh(std::uint64_t number, const Result& outcome);

    bool stopped() const { return stopped_; }
    // A fresh start (after a seek): nothing counted.
    void reset();

  private:
    int in_a_row_ = 0;
    bool stopped_ = false;
};

}  // namespace x91
