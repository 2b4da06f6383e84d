// FLAC, AIFF and W64 output through libsndfile, 16-bit, with the tags
// libsndfile writes for the format; a finished FLAC or AIFF file is then
// given every tag and picture through TagLib.
#pragma once

#include <sndfile.h>

#include <cstdio>
#include <string>

#include "command/audio_output/descriptor_io.h"
#include "command/audio_output/pcm_sink.h"

namespace x91::cli {

class SndfileSink final : public PcmSink {
  public:
    // format: SF_FORMAT_FLAC, SF_FORMAT_AIFF or SF_FORMAT_W64, written into
    // stream's descriptor (nothing written through stream itself), which
    // stays open. ok, or write_failed "cannot write: <reason>".
    // tag_path: where TagLib finds the finished file (see
    // Output::rewrite_path), "" to leave it as libsndfile wrote it.
    static Result open(std::FILE* stream, int format, const Metadata& metadata,
                       const std::string& tag_path, std::unique_ptr<PcmSink>& sink);
    ~SndfileSink() override;

    void write(const std::int16_t* samples, std::size_t frames) override;
    bool failed() const override { return !status_; }
    Result finish() override;

  private:
    SndfileSink(SNDFILE* file, std::unique_ptr<DescriptorIo> io)
        : file_(file), io_(std::move(io)) {}

    SNDFILE* file_;
    Metadata metadata_;
    std::string tag_path_;
    std::unique_ptr<DescriptorIo> io_;
    Result status_;
};

}  // namespace x91::cli
