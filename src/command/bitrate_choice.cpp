#include "command/bitrate_choice.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "command/codec_handles.h"

namespace x91::cli {

namespace {

// A source's audio, end status and tags, held in memory in pieces: growing
// it never moves what it holds, so N frames take N frames of memory and at
// most a piece more, where one growing array would need up to twice as much
// while it moves.
class HeldSource final : public PcmSource {
  public:
    static constexpr std::size_t kPieceFrames = 64 * kBlockFrames;

    // Reads source to its end; false, with part of it held, once it gave
    // more than max_frames.
    bool hold(PcmSource& source, std::uint64_t max_frames) {
        for (;;) {
            std::vector<std::int16_t>& piece = pieces_.emplace_back(2 * kPieceFrames);
            const std::size_t got = source.read(piece.data(), kPieceFrames);
            piece.resize(2 * got);
            piece.shrink_to_fit();
            frames_ += got;
            if (frames_ > max_frames) return false;
            if (got < kPieceFrames) break;
        }
        end_ = source.end_status();
        tags_ = source.tags();
        tags_left_out_ = source.tags_left_out();
        return true;
    }

    std::uint64_t frames() const { return frames_; }

    // Frames first to first + count - 1, which must be held.
    void copy(std::uint64_t first, std::size_t count, std::int16_t* out) const {
        while (count > 0) {
            const std::vector<std::int16_t>& piece = pieces_[first / kPieceFrames];
            const std::size_t offset = first % kPieceFrames;
            const std::size_t n = std::min(count, piece.size() / 2 - offset);
            std::copy_n(piece.begin() + static_cast<std::ptrdiff_t>(2 * offset), 2 * n, out);
            out += 2 * n;
            first += n;
            count -= n;
        }
    }

    // The audio as the bit-rate search reads it (an x91_pcm_read_fn).
    static int read_for_search(void* self, std::uint64_t first, std::size_t count,
                               std::int16_t* out) {
        static_cast<const HeldSource*>(self)->copy(first, count, out);
        return 0;
    }

    std::size_t read(std::int16_t* samples, std::size_t frames) override {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(frames, frames_ - at_));
        copy(at_, count, samples);
        at_ += count;
        return count;
    }
    Result end_status() const override { return end_; }
    const std::vector<Tag>& tags() const override { return tags_; }
    bool tags_left_out() const override { return tags_left_out_; }

  private:
    std::vector<std::vector<std::int16_t>> pieces_;
    std::uint64_t frames_ = 0;
    std::uint64_t at_ = 0;
    Result end_;
    std::vector<Tag> tags_;
    bool tags_left_out_ = false;
};

}  // namespace

Result choose_for_bitrate(std::unique_ptr<PcmSource>& source, const EncodeSettings& settings,
                          double& quality) {
    auto held = std::make_unique<HeldSource>();
    if (!held->hold(*source, kMaxHeldFrames))
        return {Status::invalid_argument, "-b holds the audio in memory, at most " +
                                              std::to_string(kMaxHeldFrames / kSampleRate / 60) +
                                              " minutes; this input is longer"};
    if (Result end = held->end_status(); !end && end.status != Status::cut_short) return end;

    quality = X91_QUALITY_DEFAULT;
    if (held->frames() > 0) {
        const x91_status found = x91_quality_for_bitrate_callback(
            held->frames(), &HeldSource::read_for_search, held.get(), *settings.bitrate,
            settings.tuned ? 1 : 0, &quality);
        if (found != X91_OK) return from_library(found, x91_thread_last_error());
    }
    source = std::move(held);
    return {};
}

}  // namespace x91::cli
