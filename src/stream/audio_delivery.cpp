#include "stream/audio_delivery.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace x91 {

namespace {

std::uint64_t frames_of(std::span<const std::int16_t> pcm) {
    return pcm.size() / 2;
}

// The outcome told for the audio of several packets: the first damage,
// unless a later one ended the decode, which matters more.
void merge(Result& into, Result from) {
    if (from.ok()) return;
    if (into.ok() || (from.status == Status::too_damaged && into.status != Status::too_damaged))
        into = std::move(from);
}

}  // namespace

void AudioDelivery::trim(const Trim& trim) {
    trim_ = trim;
    holding_ = false;
    front_ = false;
}

void AudioDelivery::hold(std::uint64_t front_frames, std::uint64_t tail_frames,
                         std::uint64_t lead_in_guess) {
    holding_ = true;
    front_ = true;
    front_frames_ = front_frames;
    tail_frames_ = tail_frames;
    lead_in_guess_ = lead_in_guess;
}

void AudioDelivery::own(Piece& piece) {
    piece.owned.assign(piece.pcm.begin(), piece.pcm.end());
    piece.pcm = piece.owned;
}

void AudioDelivery::add(std::uint64_t raw_start, std::span<const std::int16_t> pcm, Result outcome,
                        Keep keep) {
    Piece piece{raw_start, pcm, {}, std::move(outcome)};
    if (!holding_) {
        deliver(std::move(piece));
        if (keep == Keep::copy && !out_.empty() && out_.back().owned.empty()) own(out_.back());
        return;
    }
    own(piece);
    held_frames_ += frames_of(piece.pcm);
    held_.push_back(std::move(piece));
    if (front_ && held_frames_ > front_frames_) {
        // Long enough: from here on the front is what every x91 encoder
        // writes, and only the tail waits for the block.
        front_ = false;
        trim_ = {lead_in_guess_, UINT64_MAX};
    }
    if (!front_) release(tail_frames_);
}

void AudioDelivery::release(std::uint64_t keep_frames) {
    while (!held_.empty() && held_frames_ - frames_of(held_.front().pcm) >= keep_frames) {
        held_frames_ -= frames_of(held_.front().pcm);
        deliver(std::move(held_.front()));
        held_.pop_front();
    }
}

void AudioDelivery::deliver(Piece piece) {
    const std::uint64_t raw_end = piece.raw_start + frames_of(piece.pcm);
    const std::uint64_t lead_in = trim_.lead_in;
    const std::uint64_t until =
        trim_.frames > UINT64_MAX - lead_in ? UINT64_MAX : lead_in + trim_.frames;
    const std::uint64_t skip = skip_to_ > UINT64_MAX - lead_in ? UINT64_MAX : lead_in + skip_to_;
    const std::uint64_t from = std::max({piece.raw_start, lead_in, skip});
    const std::uint64_t to = std::min(raw_end, until);
    if (from >= to) {
        merge(carried_, std::move(piece.outcome));
        return;
    }
    Result outcome = std::move(carried_);
    carried_ = {};
    merge(outcome, std::move(piece.outcome));
    piece.pcm = piece.pcm.subspan(static_cast<std::size_t>(2 * (from - piece.raw_start)),
                                  static_cast<std::size_t>(2 * (to - from)));
    piece.outcome = std::move(outcome);
    delivered_ += to - from;
    out_.push_back(std::move(piece));
}

void AudioDelivery::end(std::optional<Trim> trim, Result ended_with) {
    if (holding_) {
        if (front_) {
            trim_ = trim.value_or(Trim{});
        } else if (trim) {
            // The lead-in was taken already; the block still places the end.
            const std::uint64_t end = trim->frames > UINT64_MAX - trim->lead_in
                                          ? UINT64_MAX
                                          : trim->lead_in + trim->frames;
            trim_.frames = end > trim_.lead_in ? end - trim_.lead_in : 0;
        }
        holding_ = false;
        front_ = false;
        release(0);
    }
    Result last = std::move(carried_);
    carried_ = {};
    merge(last, std::move(ended_with));
    if (!last.ok()) out_.push_back(Piece{0, {}, {}, std::move(last)});
    ended_ = true;
}

void AudioDelivery::restart(std::uint64_t skip_to) {
    held_.clear();
    out_.clear();
    held_frames_ = 0;
    carried_ = {};
    skip_to_ = skip_to;
    delivered_ = skip_to;
    ended_ = false;
}

Result AudioDelivery::take(std::int16_t* pcm, std::size_t max_frames, std::size_t& frames) {
    frames = 0;
    if (out_.empty()) return {};
    Piece& piece = out_.front();
    Result outcome;
    if (!piece.told) {
        piece.told = true;
        outcome = piece.outcome;
    }
    const std::size_t n = std::min(max_frames, (piece.pcm.size() - piece.taken) / 2);
    if (n > 0) std::memcpy(pcm, piece.pcm.data() + piece.taken, 4 * n);
    piece.taken += 2 * n;
    frames = n;
    if (piece.taken == piece.pcm.size()) out_.pop_front();
    return outcome;
}

}  // namespace x91
