// FLAC, AIFF and W64 output through libsndfile, 16-bit, with the tags
// libsndfile writes for the format (all of them for FLAC).
#pragma once

#include <sndfile.h>

#include <cstdio>

#include "command/audio_output/descriptor_io.h"
#include "command/audio_output/pcm_sink.h"

namespace x91::cli {

class SndfileSink final : public PcmSink {
  public:
    // format: SF_FORMAT_FLAC, SF_FORMAT_AIFF or SF_FORMAT_W64, written into
    // stream's descriptor (nothing written through stream itself), which
    // stays open. ok, or write_failed "cannot write: <reason>".
    static Result open(std::FILE* stream, int format, const std::vector<Tag>& tags,
                       std::unique_ptr<PcmSink>& sink);
    ~SndfileSink() override;

    void write(const std::int16_t* samples, std::size_t frames) override;
    bool failed() const override { return !status_; }
    Result finish() override;

  private:
    SndfileSink(SNDFILE* file, std::unique_ptr<DescriptorIo> io)
        : file_(file), io_(std::move(io)) {}

    SNDFILE* file_;
    std::unique_ptr<DescriptorIo> io_;
    Result status_;
};

}  // namespace x91::cli
