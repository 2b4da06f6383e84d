// Every other input, through libsndfile: FLAC, AIFF/AIFC, WAV of any
// format, RF64, W64 and the rest libsndfile reads. Audio at another rate is
// converted to 44100 Hz, audio of more than 16 bits, in floating point or
// resampled is reduced to 16 bits with TPDF dither, and mono is sent to
// both channels. 16-bit (or 8-bit) audio at 44100 Hz passes unchanged, so a
// FLAC file gives the packets of a WAV file of the same samples.
#pragma once

#include <sndfile.h>

#include <memory>
#include <string>
#include <vector>

#include "command/audio_input/pcm_source.h"
#include "command/audio_input/resampler.h"
#include "command/audio_input/stream_io.h"
#include "command/audio_input/tpdf_dither.h"

namespace x91::cli {

class SndfileSource final : public PcmSource {
  public:
    // A named file, or a stream (io not null) read through libsndfile's
    // virtual I/O. ok with source set, or the reason the input is refused:
    // kAudioRefused for what x91 does not take (more than two channels, a
    // rate outside 1000 to 768000 Hz) or libsndfile cannot read.
    //
    // An input that ends before its header said (a FLAC file of fewer
    // frames than its STREAMINFO counts, a WAV, AIFF or W64 file shorter
    // than its header) ends cut_short, every frame present delivered; a
    // named file that shrinks while it is read ends read_failed.
    static Result open(const std::string& name, std::unique_ptr<StreamIo> io,
                       std::unique_ptr<PcmSource>& source);

    ~SndfileSource() override;

    std::size_t read(std::int16_t* samples, std::size_t frames) override;
    Result end_status() const override { return status_; }
    const std::vector<Tag>& tags() const override { return tags_; }

  private:
    SndfileSource(SNDFILE* file, const SF_INFO& info, std::unique_ptr<StreamIo>& io,
                  const std::string& name);

    // Reads the next piece of the input and makes it stereo 16-bit frames at
    // 44100 Hz in ready_; false at the end or on a failure.
    bool convert_more();
    // At the end: how the input ended (see PcmSource::end_status).
    Result how_it_ended();
    bool ended_early() const;

    SNDFILE* file_;
    SF_INFO info_;
    std::unique_ptr<StreamIo> io_;
    // Samples pass unchanged: 16 bits or fewer, integer, at 44100 Hz.
    bool exact_;
    std::unique_ptr<Resampler> resampler_;
    TpdfDither dither_;
    std::vector<Tag> tags_;
    Result status_;
    bool ended_ = false;
    // A named file: its size when opened (-1 for a stream), and whether its
    // header promised more than it held then.
    std::string name_;
    std::int64_t size_at_open_ = -1;
    bool short_at_open_ = false;
    sf_count_t frames_read_ = 0;  // frames as the input holds them

    std::vector<short> shorts_;
    std::vector<double> doubles_;
    std::vector<double> stereo_;
    std::vector<double> resampled_;
    std::vector<std::int16_t> ready_;  // stereo samples not yet delivered
    std::size_t ready_next_ = 0;
};

}  // namespace x91::cli
