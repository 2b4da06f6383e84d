#include "library/decode_runs.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "framework/packets.h"

namespace x91 {

std::vector<std::int16_t>& DecodedPackets::pcm() {
    drop_taken();
    if (pieces_.empty()) {
        pieces_.emplace_back();
        if (buffers_) pieces_.back().pcm = buffers_->take();
    }
    return pieces_.back().pcm;
}

void DecodedPackets::add_packet(Result result) {
    Piece& piece = pieces_.back();
    const std::size_t values = piece.pcm.size() - piece.added;
    piece.added = piece.pcm.size();
    packets_.push_back({values, std::move(result)});
    values_ += values;
}

void DecodedPackets::append(DecodedPackets&& more) {
    for (Piece& piece : more.pieces_) pieces_.push_back(std::move(piece));
    for (Packet& packet : more.packets_) packets_.push_back(std::move(packet));
    values_ += more.values_;
    more.pieces_.clear();
    more.packets_.clear();
    more.values_ = 0;
}

void DecodedPackets::drop_front() {
    if (buffers_) buffers_->give(std::move(pieces_.front().pcm));
    pieces_.pop_front();
}

void DecodedPackets::drop_taken() {
    while (!pieces_.empty() && pieces_.front().taken == pieces_.front().pcm.size()) drop_front();
}

Result DecodedPackets::take_packet(std::span<const std::int16_t>& out) {
    drop_taken();
    Packet packet = std::move(packets_.front());
    packets_.pop_front();
    values_ -= packet.values;
    out = {};
    // The first packet of a stream gives no block when it holds one frame.
    if (packet.values > 0) {
        Piece& piece = pieces_.front();
        out = {piece.pcm.data() + piece.taken, packet.values};
        piece.taken += packet.values;
    }
    return std::move(packet.result);
}

std::size_t DecodedPackets::take_all(std::vector<std::int16_t>& out) {
    drop_taken();
    const std::size_t taken = frames();
    if (out.empty() && pieces_.size() == 1 && pieces_.front().taken == 0) {
        out.swap(pieces_.front().pcm);
        pieces_.clear();
    } else {
        out.reserve(out.size() + values_);
        for (const Piece& piece : pieces_)
            out.insert(out.end(), piece.pcm.begin() + static_cast<std::ptrdiff_t>(piece.taken),
                       piece.pcm.end());
        while (!pieces_.empty()) drop_front();
    }
    packets_.clear();
    values_ = 0;
    return taken;
}

void decode_packet(DecodeChain& chain, const std::uint8_t* data, std::size_t size,
                   DecodedPackets& decoded) {
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[size]);
    std::memcpy(bytes.get(), data, size);
    const int under_read_before = chain.under_read_packets();
    const bool whole =
        chain.feed_packet(packet_from_bytes(std::move(bytes), static_cast<int>(size)));
    std::vector<std::int16_t>& pcm = decoded.pcm();
    while (chain.has_block()) {
        const auto block = chain.take_block();
        if constexpr (std::endian::native == std::endian::little) {
            // The block's bytes are its samples: appended as they stand, one
            // pass over them, where a resize would zero-fill the room first.
            // The block is raw heap storage, so its samples read as int16_t.
            const auto* samples = reinterpret_cast<const std::int16_t*>(block.get());
            pcm.insert(pcm.end(), samples, samples + DecodeChain::kBlockBytes / 2);
        } else {
            const std::size_t at = pcm.size();
            pcm.resize(at + DecodeChain::kBlockBytes / 2);
            for (int k = 0; k < DecodeChain::kBlockBytes / 2; ++k)
                pcm[at + static_cast<std::size_t>(k)] =
                    static_cast<std::int16_t>(block.get()[2 * k] | block.get()[2 * k + 1] << 8);
        }
    }
    if (!whole) {
        decoded.add_packet({Status::packet_overrun, "its bits run past its end"});
    } else if (chain.under_read_packets() != under_read_before) {
        decoded.add_packet({Status::packet_unread_bytes, "whole bytes at its end are left unread"});
    } else {
        decoded.add_packet({});
    }
}

std::unique_ptr<DecodeChain> SpareChains::take(const CheckedSettings& settings) {
    {
        const std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            std::unique_ptr<DecodeChain> chain = std::move(spare_.back());
            spare_.pop_back();
            return chain;
        }
    }
    return std::make_unique<DecodeChain>(settings);
}

void SpareChains::give(std::unique_ptr<DecodeChain> chain) {
    const std::lock_guard lock(mutex_);
    // Keeping it only saves work: without the room, the chain goes and the
    // run's audio still counts.
    try {
        spare_.push_back(std::move(chain));
    } catch (const std::bad_alloc&) {
    }
}

DecodeRuns::DecodeRuns(const CheckedSettings& s, ThreadBudget& budget, int run_packets)
    : settings_(std::make_shared<const CheckedSettings>(s)),
      buffers_(std::make_shared<PcmBuffers>()),
      chains_(std::make_shared<SpareChains>()),
      frames_per_packet_(s.dsettings().group.frames),
      run_packets_(run_packets),
      decoded_(buffers_),
      runs_(budget) {}

DecodedPackets DecodeRuns::decode_run(const CheckedSettings& settings, const Run& run,
                                      std::shared_ptr<PcmBuffers> buffers, SpareChains& chains) {
    // A run warmed up with fewer frames (at the stream's start) relies on a
    // new chain's silence for the rest.
    int warm_up_frames = 0;
    for (const int kept : run.kept) warm_up_frames += kept;
    std::unique_ptr<DecodeChain> owned = warm_up_frames == DecodeChain::kWarmUpFrames
                                             ? chains.take(settings)
                                             : std::make_unique<DecodeChain>(settings);
    DecodeChain& chain = *owned;
    for (std::size_t k = 0; k < run.warm_up.size(); ++k) {
        const Packet& packet = run.warm_up[k];
        std::unique_ptr<unsigned char[]> bytes(new unsigned char[packet.size()]);
        std::memcpy(bytes.get(), packet.data(), packet.size());
        chain.warm_up(packet_from_bytes(std::move(bytes), static_cast<int>(packet.size())),
                      run.kept[k]);
    }
    DecodedPackets decoded(std::move(buffers));
    // Every packet gives a group of blocks: its audio is sized at once.
    decoded.pcm().reserve(run.packets.size() *
                          static_cast<std::size_t>(settings.dsettings().group.frames) *
                          DecodeChain::kBlockBytes / 2);
    for (const Packet& packet : run.packets)
        decode_packet(chain, packet.data(), packet.size(), decoded);
    chains.give(std::move(owned));
    return decoded;
}

void DecodeRuns::push_packet(const std::uint8_t* data, std::size_t size) {
    run_.emplace_back(data, data + size);
    if (static_cast<int>(run_.size()) == run_packets_) hand_in();
}

void DecodeRuns::hand_in() {
    while (runs_.full()) decoded_.append(runs_.take_oldest());
    Run run;
    // The frames before the run that its chain is warmed up with, the
    // newest last: from the last packet before it, and from the one before
    // that while a packet holds fewer.
    const std::int64_t frames_before = frames_per_packet_ * packets_handed_in_;
    int frames =
        static_cast<int>(std::min<std::int64_t>(DecodeChain::kWarmUpFrames, frames_before));
    for (auto packet = before_.rbegin(); frames > 0; ++packet) {
        const int kept = std::min(frames, frames_per_packet_);
        run.warm_up.insert(run.warm_up.begin(), *packet);
        run.kept.insert(run.kept.begin(), kept);
        frames -= kept;
    }
    packets_handed_in_ += static_cast<std::int64_t>(run_.size());
    const std::size_t keep = DecodeChain::kWarmUpFrames;  // a frame or more in each
    for (std::size_t k = run_.size() > keep ? run_.size() - keep : 0; k < run_.size(); ++k) {
        before_.push_back(run_[k]);
        if (before_.size() > keep) before_.pop_front();
    }
    run.packets = std::move(run_);
    run_.clear();
    runs_.submit([settings = settings_, buffers = buffers_, chains = chains_,
                  run = std::move(run)] { return decode_run(*settings, run, buffers, *chains); });
}

void DecodeRuns::finish() {
    if (!run_.empty()) hand_in();
}

DecodedPackets& DecodeRuns::decoded(Wait wait) {
    while (auto done = runs_.take_done()) decoded_.append(std::move(*done));
    if (wait == Wait::for_next && decoded_.empty() && !runs_.empty())
        decoded_.append(runs_.take_oldest());
    if (wait == Wait::for_all)
        while (!runs_.empty()) decoded_.append(runs_.take_oldest());
    return decoded_;
}

}  // namespace x91
