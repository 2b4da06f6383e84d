// What a decode hands out of the raw timeline (every decoded frame, lead-in
// and padding included): the span the trim keeps, in order, with each
// packet's outcome told by the read that hands out its first frame.
//
// A stream read in one pass has its extension block only at its end, so the
// trim is not known while the audio comes. Until then the delivery holds
// the audio back: from the start, until the stream ends or more than a
// front's worth is held; then, taking the lead-in that every x91 encoder
// writes (one block), it hands out all but the last tail's worth, which the
// block may still cut. Memory stays bounded whatever the stream's length,
// and a stream that ends within the front is delivered exactly as from a
// file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "x91/status.h"

namespace x91 {

// The frames of the raw timeline a decode delivers: from lead_in on,
// `frames` of them.
struct Trim {
    std::uint64_t lead_in = 0;
    std::uint64_t frames = UINT64_MAX;
};

class AudioDelivery {
  public:
    // Every frame, until trim() or hold() says otherwise.
    AudioDelivery() = default;

    // The trim is known: it applies from the next frame added on.
    void trim(const Trim& trim);
    // The trim is not known yet: hold back as above, until end().
    void hold(std::uint64_t front_frames, std::uint64_t tail_frames, std::uint64_t lead_in_guess);

    // The audio of the raw timeline from raw_start on, with the outcome of
    // the packet it comes from. Pieces come in order, without gaps. Held
    // audio is copied; audio handed out at once is copied only when asked
    // (copy), and otherwise must stay where it is until take() has handed
    // it all out, which spares a copy of every frame of a decode.
    enum class Keep { copy, borrow };
    void add(std::uint64_t raw_start, std::span<const std::int16_t> pcm, Result outcome,
             Keep keep = Keep::copy);
    // The stream ended, with the trim its block gives when it has one
    // intact; ended_with goes out after every frame (ok, or what ended the
    // decode early).
    void end(std::optional<Trim> trim, Result ended_with);

    // Forgets everything held and waiting; delivered frames below skip_to
    // are not handed out (after a seek).
    void restart(std::uint64_t skip_to);

    // Up to max_frames frames of one packet's audio into pcm; frames tells
    // how many. The outcome of the packet they start, or at the end the
    // outcome end() was given, once.
    Result take(std::int16_t* pcm, std::size_t max_frames, std::size_t& frames);

    // Frames waiting for take(), and whether an outcome waits with them.
    bool ready() const { return !out_.empty(); }
    // end() was called and everything was taken.
    bool finished() const { return ended_ && out_.empty(); }

    // Frames handed to out_ so far, held frames excluded.
    std::uint64_t delivered() const { return delivered_; }
    std::uint64_t held_frames() const { return held_frames_; }

  private:
    struct Piece {
        std::uint64_t raw_start = 0;
        std::span<const std::int16_t> pcm;  // in `owned`, or borrowed
        std::vector<std::int16_t> owned;
        Result outcome;
        std::size_t taken = 0;  // values
        bool told = false;
    };
    static void own(Piece& piece);
    void deliver(Piece piece);
    void release(std::uint64_t keep_frames);

    Trim trim_;
    bool holding_ = false;
    bool front_ = false;  // holding the front: nothing handed out yet
    std::uint64_t front_frames_ = 0;
    std::uint64_t tail_frames_ = 0;
    std::uint64_t lead_in_guess_ = 0;
    std::deque<Piece> held_;
    std::uint64_t held_frames_ = 0;
    std::deque<Piece> out_;
    Result carried_;  // the outcome of audio the trim cut away, for the next piece
    std::uint64_t skip_to_ = 0;
    std::uint64_t delivered_ = 0;
    bool ended_ = false;
};

}  // namespace x91
