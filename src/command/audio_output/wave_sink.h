// WAV output through the codec's own writer: the tags INFO carries as they
// are go into a LIST/INFO chunk, the others and the pictures into an "id3 "
// chunk, both before the audio, so that a pipe gets them too.
#pragma once

#include "command/audio_output/pcm_sink.h"
#include "wave/wave_writer.h"

namespace x91::cli {

class WaveSink final : public PcmSink {
  public:
    // Sizes fixed at the end where the output can be rewound, else left
    // "to the end of the stream".
    WaveSink(const Output& output, std::int64_t expected_bytes, const Metadata& metadata);

    void write(const std::int16_t* samples, std::size_t frames) override;
    bool failed() const override { return writer_.failed(); }
    Result finish() override { return writer_.finish(); }
    const Result& status() const { return writer_.status(); }

  private:
    da_WaveWriter writer_;
    std::vector<char> bytes_;
};

}  // namespace x91::cli
