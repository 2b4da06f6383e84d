// Decodes one stream's packets back into CD audio (interleaved 16-bit stereo
// PCM at 44100 Hz), on the caller's thread or on several. A stream of P
// packets gives F·P − 1 blocks of 882 frames (F frames per packet, 16 by
// default): one lead-in block (the transform's start, not input audio), the
// input one block late, and padding. Where the input lies in that, and what
// is cut, is the stream layer's business. Each Decoder is used from one
// thread at a time; its audio and results are those of one thread, whatever
// the number it works on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "format/checked_settings.h"
#include "library/threading.h"
#include "x91/status.h"

namespace x91 {

class Decoder {
  public:
    // status() is invalid_argument when threading is not usable.
    explicit Decoder(const CheckedSettings& settings, const Threading& threading = Threading());
    // A decoder of a program run whose threads `shared` counts: the caller
    // holds one of its places, and the decoder takes the spare ones.
    Decoder(const CheckedSettings& settings, ThreadBudget& shared);
    ~Decoder();
    Decoder(Decoder&&) noexcept;
    Decoder& operator=(Decoder&&) noexcept;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    const Result& status() const;
    const CheckedSettings& settings() const;

    // Takes one packet (its bytes, without the count), or packet_too_large
    // for none or more than kMaxPacketBytes. With one thread it is decoded
    // at once and the result is its own: packet_overrun and
    // packet_unread_bytes still deliver the audio decoded from it. With
    // more, it joins a run decoded later, and its own result comes with its
    // audio from pull_packet().
    Result push_packet(const std::uint8_t* data, std::size_t size);

    // Ends the stream. With threads, the packets of an unfinished run are
    // decoded from now on, and pull() and pull_packet() wait for the packets
    // still being decoded, so that every packet comes out. With one thread
    // there is nothing left to do. invalid_state when called twice.
    Result finish();

    // Appends the audio of every packet decoded so far (interleaved, left
    // first) to pcm and returns the number of frames appended.
    std::size_t pull(std::vector<std::int16_t>& pcm);

    // Points pcm at the audio of the oldest decoded packet not yet pulled
    // (interleaved, left first; valid until the decoder is next used) and
    // gives its result (ok, packet_overrun or packet_unread_bytes); false
    // when no decoded packet waits.
    bool pull_packet(std::span<const std::int16_t>& pcm, Result& result);

    // Frames waiting for pull().
    std::size_t frames_ready() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace x91
