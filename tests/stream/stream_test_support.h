// Streams written and decoded through the stream layer, for its tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stream/byte_source.h"
#include "stream/stream_decoder.h"
#include "stream/stream_writer.h"
#include "support/wav_bytes.h"

namespace x91test {

// The whole file a StreamWriter makes of pcm, with or without the block.
Bytes write_stream(const Pcm& pcm, bool block = true, const std::vector<x91::Tag>& tags = {},
                   const x91::EncoderOptions& options = {});

// Bytes held in memory, read at will or, without seeking, in one pass; in
// pieces of at most `piece` bytes a read, as a pipe delivers them.
class BytesSource final : public x91::ByteSource {
  public:
    BytesSource(const Bytes& bytes, bool seekable, std::size_t piece = SIZE_MAX)
        : bytes_(bytes), seekable_(seekable), piece_(piece) {}

    std::int64_t read(std::uint8_t* buffer, std::size_t size) override;
    std::optional<std::uint64_t> size() override {
        return seekable_ ? std::optional<std::uint64_t>(bytes_.size()) : std::nullopt;
    }
    bool seek(std::uint64_t offset) override;

  private:
    const Bytes& bytes_;
    bool seekable_;
    std::size_t piece_;
    std::size_t at_ = 0;
};

// What a whole decode gave: the audio, the outcome of every read that told
// one, and what the block told at the end.
struct Decoded {
    Pcm pcm;
    std::vector<std::string> outcomes;
    x91::Status extension = x91::Status::no_extension;
    std::vector<x91::Tag> tags;

    bool operator==(const Decoded& other) const {
        return pcm == other.pcm && outcomes == other.outcomes && extension == other.extension;
    }
};

enum class Feed { at_will, one_pass, pushed };

// Decodes file whole: read at will, pulled in one pass, or pushed in pieces
// of random sizes drawn from rng (up to max_piece bytes).
Decoded decode_stream(const Bytes& file, Feed feed, const x91::DecodeThreads& threads = {},
                      std::size_t max_piece = 5000, unsigned seed = 1);

}  // namespace x91test
