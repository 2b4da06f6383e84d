#include "command/audio_input/sndfile_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "command/audio_input/declared_length.h"
#include "command/tag_names.h"

namespace x91::cli {

namespace {

// Frames read from libsndfile at a time.
constexpr std::size_t kPiece = 4096;
// Rates beyond these are not audio x91 can use, and a rate of a few hertz
// would make a small file decode to days of sound.
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 768000;

bool exact_at_16_bits(const SF_INFO& info) {
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    return info.samplerate == kSampleRate &&
           (subtype == SF_FORMAT_PCM_16 || subtype == SF_FORMAT_PCM_S8 ||
            subtype == SF_FORMAT_PCM_U8);
}

// -1 when it cannot be told.
std::int64_t file_size(const std::string& name) {
    struct stat info {};
    return stat(name.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

std::vector<Tag> tags_of(SNDFILE* file) {
    std::vector<Tag> tags;
    for (const SndfileString& s : sndfile_strings()) {
        const char* text = sf_get_string(file, s.id);
        if (text != nullptr && *text != '\0') tags.push_back({s.name, utf8_from_text(text)});
    }
    return tags;
}

}  // namespace

Result SndfileSource::open(const std::string& name, std::unique_ptr<StreamIo> io,
                           std::unique_ptr<PcmSource>& source) {
    SF_INFO info{};
    SNDFILE* file = nullptr;
    if (io) {
        SF_VIRTUAL_IO callbacks = StreamIo::callbacks();
        file = sf_open_virtual(&callbacks, SFM_READ, &info, io.get());
    } else {
        file = sf_open(name.c_str(), SFM_READ, &info);
    }
    // Memory that ran out in reading the stream is not the file's fault.
    if (file == nullptr && io && io->out_of_memory()) throw std::bad_alloc();
    if (file == nullptr)
        return {kAudioRefused,
                std::string("not an audio file libsndfile can read: ") + sf_strerror(nullptr)};
    std::string refusal;
    if (info.channels < 1 || info.channels > 2) {
        refusal = std::to_string(info.channels) + " channels; x91 takes 1 or 2";
    } else if (info.samplerate < kLowestRate || info.samplerate > kHighestRate) {
        refusal = std::to_string(info.samplerate) + " Hz; x91 takes 1000 to 768000 Hz";
    }
    if (!refusal.empty()) {
        sf_close(file);
        return {kAudioRefused, refusal};
    }
    std::unique_ptr<SndfileSource> opened;
    try {
        opened.reset(new SndfileSource(file, info, io, name));
    } catch (...) {
        // The file is the source's to close only once the source is made.
        sf_close(file);
        throw;
    }
    if (opened->resampler_ && !opened->resampler_->status()) return opened->resampler_->status();
    source = std::move(opened);
    return {};
}

// The stream is taken last, once nothing can throw: until then libsndfile,
// which reads through it, may still need it to close.
SndfileSource::SndfileSource(SNDFILE* file, const SF_INFO& info, std::unique_ptr<StreamIo>& io,
                             const std::string& name)
    : file_(file), info_(info), exact_(exact_at_16_bits(info)), tags_(tags_of(file)) {
    if (info.samplerate != kSampleRate)
        resampler_ = std::make_unique<Resampler>(static_cast<double>(info.samplerate));
    if (!io) {
        name_ = name;
        size_at_open_ = file_size(name);
        short_at_open_ = file_shorter_than_declared(name, size_at_open_);
    }
    io_ = std::move(io);
}

SndfileSource::~SndfileSource() {
    sf_close(file_);
}

// libsndfile reads a file cut short as far as it goes, at most with a
// complaint about its last frame: what it delivered is weighed against what
// the header promised. Only FLAC's count of frames is the header's own: in
// WAV, AIFF and W64 libsndfile counts from the file's length, so there the
// header's length of the whole file tells.
bool SndfileSource::ended_early() const {
    const bool flac = (info_.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC;
    if (flac && info_.frames > 0 && info_.frames != SF_COUNT_MAX && frames_read_ < info_.frames)
        return true;
    if (!io_) return short_at_open_;
    const std::optional<std::uint64_t> length = io_->length_at_end();
    const std::string& head = io_->first_bytes();
    return length && shorter_than_declared(reinterpret_cast<const unsigned char*>(head.data()),
                                           head.size(), *length);
}

// A file cut short is kept like a cut-short CD WAV, one cut while it was
// read is not: the rest of it never reached the encoder.
Result SndfileSource::how_it_ended() {
    if (io_ && io_->out_of_memory()) throw std::bad_alloc();
    const bool complaint = sf_error(file_) != SF_ERR_NO_ERROR;
    const std::string reason = complaint ? sf_strerror(file_) : "";
    if (io_ && io_->failed()) return {Status::read_failed, "read failed: " + reason};
    // A file removed meanwhile is still read whole through libsndfile's
    // descriptor; one that shrank is not.
    if (const std::int64_t size = io_ ? -1 : file_size(name_); size >= 0 && size < size_at_open_)
        return {Status::read_failed, "read failed: the file was cut short while it was read"};
    if (ended_early())
        return {Status::cut_short,
                "audio data cut short" + (complaint ? " (" + reason + ")" : std::string()) +
                    "; encoded the " + std::to_string(frames_read_) + " sample frames present"};
    if (complaint) return {Status::read_failed, "read failed: " + reason};
    return {};
}

bool SndfileSource::convert_more() {
    if (ended_) return false;
    const auto channels = static_cast<std::size_t>(info_.channels);
    ready_.clear();
    ready_next_ = 0;
    if (exact_) {
        shorts_.resize(kPiece * channels);
        const auto got = static_cast<std::size_t>(
            sf_readf_short(file_, shorts_.data(), static_cast<sf_count_t>(kPiece)));
        frames_read_ += static_cast<sf_count_t>(got);
        for (std::size_t i = 0; i < got; ++i) {
            ready_.push_back(shorts_[i * channels]);
            ready_.push_back(shorts_[i * channels + channels - 1]);
        }
        ended_ = got < kPiece;
    } else {
        doubles_.resize(kPiece * channels);
        const auto got = static_cast<std::size_t>(
            sf_readf_double(file_, doubles_.data(), static_cast<sf_count_t>(kPiece)));
        frames_read_ += static_cast<sf_count_t>(got);
        stereo_.clear();
        for (std::size_t i = 0; i < got; ++i) {
            stereo_.push_back(doubles_[i * channels]);
            stereo_.push_back(doubles_[i * channels + channels - 1]);
        }
        ended_ = got < kPiece;
        const std::vector<double>* frames = &stereo_;
        if (resampler_) {
            resampled_.clear();
            Result done = resampler_->process(stereo_.data(), got, resampled_);
            if (done && ended_) done = resampler_->flush(resampled_);
            if (!done) {
                status_ = std::move(done);
                ended_ = true;
                return false;
            }
            frames = &resampled_;
        }
        for (double x : *frames) ready_.push_back(dither_.quantize(x));
    }
    if (ended_) {
        status_ = how_it_ended();
        if (!status_ && status_.status != Status::cut_short) {
            ready_.clear();
            return false;
        }
    }
    return !ready_.empty() || !ended_;
}

std::size_t SndfileSource::read(std::int16_t* samples, std::size_t frames) {
    std::size_t done = 0;
    while (done < frames) {
        if (ready_next_ == ready_.size() && !convert_more()) break;
        const std::size_t count = std::min(frames - done, (ready_.size() - ready_next_) / 2);
        // A piece may give no frames yet (the resampler's first ones at the
        // highest rates); there is nothing to copy then, and no buffer.
        if (count == 0) continue;
        std::memcpy(samples + 2 * done, ready_.data() + ready_next_, 4 * count);
        ready_next_ += 2 * count;
        done += count;
    }
    return done;
}

}  // namespace x91::cli
