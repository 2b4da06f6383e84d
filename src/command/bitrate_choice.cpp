#include "command/bitrate_choice.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "command/codec_handles.h"

namespace x91::cli {

namespace {

// A source's audio, end status and tags, held in memory.
class HeldSource final : public PcmSource {
  public:
    HeldSource(std::vector<std::int16_t> samples, Result end, std::vector<Tag> tags)
        : samples_(std::move(samples)), end_(std::move(end)), tags_(std::move(tags)) {}

    std::size_t read(std::int16_t* samples, std::size_t frames) override {
        const std::size_t count = std::min(2 * frames, samples_.size() - at_);
        std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(at_), count, samples);
        at_ += count;
        return count / 2;
    }
    Result end_status() const override { return end_; }
    const std::vector<Tag>& tags() const override { return tags_; }

  private:
    std::vector<std::int16_t> samples_;
    std::size_t at_ = 0;
    Result end_;
    std::vector<Tag> tags_;
};

}  // namespace

Result choose_for_bitrate(std::unique_ptr<PcmSource>& source, const EncodeSettings& settings,
                          double& quality) {
    constexpr std::size_t kChunkFrames = 64 * kBlockFrames;
    std::vector<std::int16_t> held;
    for (;;) {
        if (held.size() / 2 + kChunkFrames > kMaxHeldFrames)
            return {Status::invalid_argument,
                    "-b holds the audio in memory, at most " +
                        std::to_string(kMaxHeldFrames / kSampleRate / 60) +
                        " minutes; this input is longer"};
        const std::size_t at = held.size();
        held.resize(at + 2 * kChunkFrames);
        const std::size_t got = source->read(held.data() + at, kChunkFrames);
        held.resize(at + 2 * got);
        if (got < kChunkFrames) break;
    }
    Result end = source->end_status();
    if (!end && end.status != Status::cut_short) return end;

    quality = X91_QUALITY_DEFAULT;
    if (!held.empty()) {
        const x91_status found = x91_quality_for_bitrate(
            held.data(), held.size() / 2, *settings.bitrate, settings.tuned ? 1 : 0, &quality);
        if (found != X91_OK) return from_library(found, x91_thread_last_error());
    }
    source = std::make_unique<HeldSource>(std::move(held), std::move(end), source->tags());
    return {};
}

}  // namespace x91::cli
