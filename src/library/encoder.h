// Encodes one stream of CD audio (interleaved 16-bit stereo PCM at 44100 Hz)
// into x91 packets, on the caller's thread or on several. Push PCM in any
// amounts, take packets as they are ready, call finish() at the end of the
// audio, then take the last packets. Bad input is reported through Result
// values; only running out of memory throws. Each Encoder is used from one
// thread at a time; the first one built also builds the codec's shared
// transform tables, which then stay until the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "format/checked_settings.h"
#include "library/encoder_options.h"
#include "library/threading.h"
#include "x91/status.h"

namespace x91 {

class Encoder {
  public:
    // status() is invalid_argument when the settings are not usable
    // (check_settings, and at most 882 lines, the number the transform
    // gives), the tuned choices are out of range or the threading is. The
    // tuned encoder compares each frame's levels with the frame before, so
    // it always works on one chain: threading only checks its values there.
    explicit Encoder(const EncoderOptions& options = EncoderOptions(),
                     const Threading& threading = Threading());
    // An encoder of a program run whose threads `shared` counts: the caller
    // holds one of its places, and the standard encoder shares runs out on
    // its spare ones.
    Encoder(const EncoderOptions& options, ThreadBudget& shared);
    ~Encoder();
    Encoder(Encoder&&) noexcept;
    Encoder& operator=(Encoder&&) noexcept;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    const Result& status() const;
    // The settings the file's header stores.
    const HeaderSettings& settings() const;

    // Interleaved samples, left first: 2 * frames values. With threads, it
    // waits (working on runs) while as many runs are held as allowed.
    Result push(const std::int16_t* samples, std::size_t frames);

    // Ends the stream: pads it with silence so that every pushed sample
    // reaches a packet. Decoding gives one block of lead-in (the transform's
    // start, not input audio), then every pushed sample, then silence to the
    // end of the last packet. With threads, it returns when every packet is
    // ready.
    Result finish();

    // Moves the oldest ready packet into packet; false when none is ready.
    bool next_packet(std::vector<std::uint8_t>& packet);

    std::uint64_t frames_pushed() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace x91
