// WAV output through the codec's own writer; the tags WAV can carry go into
// a LIST/INFO chunk.
#pragma once

#include "command/audio_output/pcm_sink.h"
#include "wave/wave_writer.h"

namespace x91::cli {

class WaveSink final : public PcmSink {
  public:
    // Sizes fixed at the end where the output can be rewound, else left
    // "to the end of the stream".
    WaveSink(const Output& output, std::int64_t expected_bytes, const std::vector<Tag>& tags);

    void write(const std::int16_t* samples, std::size_t frames) override;
    bool failed() const override { return writer_.failed(); }
    Result finish() override { return writer_.finish(); }
    const Result& status() const { return writer_.status(); }

  private:
    da_WaveWriter writer_;
    std::vector<char> bytes_;
};

}  // namespace x91::cli
