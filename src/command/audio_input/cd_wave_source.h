// CD-format WAV input through the codec's own reader: its samples reach the
// encoder unchanged, as they always have.
#pragma once

#include <memory>

#include "command/audio_input/pcm_source.h"
#include "wave/wave_reader.h"

namespace x91::cli {

class CdWaveSource final : public PcmSource {
  public:
    // Takes a reader that accepted its input.
    explicit CdWaveSource(std::unique_ptr<da_WaveReader> reader);

    std::size_t read(std::int16_t* samples, std::size_t frames) override;
    Result end_status() const override;
    const std::vector<Tag>& tags() const override { return tags_; }
    bool tags_left_out() const override { return reader_->info_left_out(); }

  private:
    std::unique_ptr<da_WaveReader> reader_;
    std::vector<Tag> tags_;
    std::vector<unsigned char> bytes_;
};

}  // namespace x91::cli
