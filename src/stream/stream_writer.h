// An x91 file made as its audio comes: the header, each packet behind its
// byte count, the end marker and the extension block, which holds the
// input's exact length, its tags and the CRC-32 of every byte before it.
// Each piece goes to the sink as soon as it is made, so nothing is held
// back but what the encoder itself holds, and no byte is ever rewritten:
// the file may go to a pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "library/encoder.h"
#include "stream/tags.h"
#include "x91/status.h"

namespace x91 {

// The bytes of a block holding these tags ("NAME=VALUE") beside the input's
// length, lead-in and CRC.
std::size_t extension_block_bytes(const std::vector<std::string>& tags);
// The bytes one of them takes there.
std::size_t tag_field_bytes(const std::string& tag);

class StreamWriter {
  public:
    // Takes the next bytes of the file; false when they could not be kept.
    using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

    // The encoder is built on the first push() or finish(), which fixes the
    // settings; status of a refused one then comes from those calls.
    explicit StreamWriter(Sink sink);

    // Until the first push() or finish(); invalid_state after.
    Result set_options(const EncoderOptions& options);
    Result set_threads(const Threading& threading);
    Result share_threads(ThreadBudget& shared);
    // Whether the block follows the end marker (the default) or the file
    // ends there. Until finish().
    Result set_extension_block(bool write);
    // Adds a tag for the block; invalid_argument, and no tag added, for a
    // name or value a tag cannot have, or one the largest block has no room
    // for. Until finish().
    Result add_tag(const Tag& tag);

    // Builds the encoder, which fixes the settings, and writes the header;
    // the first push() or finish() does it otherwise.
    Result begin();

    // Interleaved samples, left first: 2 * frames values.
    Result push(const std::int16_t* pcm, std::size_t frames);
    // Pads the audio (see Encoder::finish) and ends the file: the end
    // marker, then the block unless set_extension_block(false).
    Result finish();

    // The settings the header stores, once the encoder is built.
    const HeaderSettings* settings() const;
    // Packets handed to the sink so far, and their bytes without the counts.
    std::uint64_t packets() const { return packets_; }
    std::uint64_t packet_bytes() const { return packet_bytes_; }

  private:
    Result write(const std::uint8_t* data, std::size_t size);
    Result write_packets();
    Result write_end();

    Sink sink_;
    EncoderOptions options_;
    Threading threading_;
    ThreadBudget* shared_ = nullptr;
    bool write_block_ = true;
    std::vector<std::string> tags_;                        // "NAME=VALUE"
    std::size_t block_bytes_ = extension_block_bytes({});  // the block with those tags
    std::optional<Encoder> encoder_;
    Result failure_;  // sticky: the encoder's refusal or a failed write
    std::vector<std::uint8_t> packet_;
    std::uint32_t crc_ = 0;
    std::uint64_t packets_ = 0;
    std::uint64_t packet_bytes_ = 0;
    bool finished_ = false;
};

}  // namespace x91
