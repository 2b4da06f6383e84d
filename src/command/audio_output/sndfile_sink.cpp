#include "command/audio_output/sndfile_sink.h"

#include <string>

#include "command/tag_names.h"

namespace x91::cli {

Result SndfileSink::open(std::FILE* stream, int format, const std::vector<Tag>& tags,
                         std::unique_ptr<PcmSink>& sink) {
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = kChannels;
    info.format = format | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open_fd(fileno(stream), SFM_WRITE, &info, SF_FALSE);
    if (file == nullptr)
        return {Status::write_failed, std::string("cannot write: ") + sf_strerror(nullptr)};
    // Strings go in before the audio; a format without a place for one
    // refuses it, and the tag is not written (the README lists which go).
    for (const SndfileString& s : sndfile_strings()) {
        const std::string value = joined_value(tags, s.name);
        if (!value.empty()) static_cast<void>(sf_set_string(file, s.id, value.c_str()));
    }
    sink.reset(new SndfileSink(file));
    return {};
}

SndfileSink::~SndfileSink() {
    if (file_ != nullptr) sf_close(file_);
}

void SndfileSink::write(const std::int16_t* samples, std::size_t frames) {
    if (!status_ || frames == 0) return;
    const auto n = static_cast<sf_count_t>(frames);
    if (sf_writef_short(file_, samples, n) != n)
        status_ = {Status::write_failed, std::string("write failed: ") + sf_strerror(file_)};
}

Result SndfileSink::finish() {
    if (file_ == nullptr) return status_;
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (status_ && closed != 0)
        status_ = {Status::write_failed, std::string("write failed: ") + sf_error_number(closed)};
    return status_;
}

}  // namespace x91::cli
