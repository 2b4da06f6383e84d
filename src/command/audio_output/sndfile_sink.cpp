#include "command/audio_output/sndfile_sink.h"

#include <string>

#include "command/io_failure.h"
#include "command/tag_names.h"

namespace x91::cli {

namespace {

// write_failed with what went wrong: the system's reason when it gave one,
// otherwise libsndfile's.
Result failure(const DescriptorIo& io, const char* what, const std::string& sndfile_reason) {
    if (io.error() != 0) return io_failure(Status::write_failed, what, io.error());
    return {Status::write_failed, what + (": " + sndfile_reason)};
}

}  // namespace

Result SndfileSink::open(std::FILE* stream, int format, const std::vector<Tag>& tags,
                         std::unique_ptr<PcmSink>& sink) {
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = kChannels;
    info.format = format | SF_FORMAT_PCM_16;
    auto io = std::make_unique<DescriptorIo>(fileno(stream));
    SF_VIRTUAL_IO callbacks = DescriptorIo::callbacks();
    SNDFILE* file = sf_open_virtual(&callbacks, SFM_WRITE, &info, io.get());
    if (file == nullptr) return failure(*io, "cannot write", sf_strerror(nullptr));
    // Strings go in before the audio; a format without a place for one
    // refuses it, and the tag is not written (the README lists which go).
    for (const SndfileString& s : sndfile_strings()) {
        const std::string value = joined_value(tags, s.name);
        if (!value.empty()) static_cast<void>(sf_set_string(file, s.id, value.c_str()));
    }
    sink.reset(new SndfileSink(file, std::move(io)));
    return {};
}

SndfileSink::~SndfileSink() {
    if (file_ != nullptr) sf_close(file_);
}

void SndfileSink::write(const std::int16_t* samples, std::size_t frames) {
    if (!status_ || frames == 0) return;
    const auto n = static_cast<sf_count_t>(frames);
    if (sf_writef_short(file_, samples, n) != n)
        status_ = failure(*io_, "write failed", sf_strerror(file_));
}

Result SndfileSink::finish() {
    if (file_ == nullptr) return status_;
    const int closed = sf_close(file_);
    file_ = nullptr;
    // A write of the close that failed may leave libsndfile content.
    if (status_ && (closed != 0 || io_->error() != 0))
        status_ = failure(*io_, "write failed", sf_error_number(closed));
    return status_;
}

}  // namespace x91::cli
