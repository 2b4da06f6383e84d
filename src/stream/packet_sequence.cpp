#include "stream/packet_sequence.h"

#include <algorithm>

#include "format/limits.h"

namespace x91 {

PacketSequence::PacketSequence(const CheckedSettings& settings, DecodeThreads threads)
    : settings_(settings), threads_(threads), raw_(settings.dsettings().group.frames) {
    start_decoder();
}

void PacketSequence::start_decoder() {
    if (threads_.shared) {
        decoders_.push_back({Decoder(settings_, *threads_.shared)});
    } else {
        decoders_.push_back({Decoder(settings_, threads_.own)});
    }
}

void PacketSequence::restart(std::uint64_t packet) {
    decoders_.clear();
    entries_.clear();
    start_decoder();
    next_ = packet;
    restarted_ = packet > 0;
    finished_ = false;
}

void PacketSequence::push(const std::uint8_t* data, std::size_t size) {
    Entry entry{next_++, size, restarted_, {}};
    restarted_ = false;
    Running& running = decoders_.back();
    Result taken = running.decoder.push_packet(data, size);
    if (taken.status == Status::packet_too_large) {
        // The packet gave nothing: silence holds its place, and a fresh
        // decoder takes the next one rather than pair the frame the old one
        // holds with the wrong neighbour.
        entry.refusal = std::move(taken);
        static_cast<void>(running.decoder.finish());
        start_decoder();
        restarted_ = true;
    } else {
        ++running.pending;
    }
    entries_.push_back(std::move(entry));
}

void PacketSequence::finish() {
    if (finished_) return;
    finished_ = true;
    static_cast<void>(decoders_.back().decoder.finish());
}

bool PacketSequence::take(Decoded& out) {
    if (entries_.empty()) return false;
    const Entry& entry = entries_.front();
    if (!entry.refusal) {
        fill(entry, {}, out);
        out.result = entry.refusal;
        entries_.pop_front();
        return true;
    }
    while (decoders_.front().pending == 0 && decoders_.size() > 1) decoders_.pop_front();
    Running& running = decoders_.front();
    std::span<const std::int16_t> decoded;
    Result result;
    if (!running.decoder.pull_packet(decoded, result)) return false;
    --running.pending;
    fill(entry, decoded, out);
    out.result = std::move(result);
    entries_.pop_front();
    return true;
}

// A fresh decoder delivers a packet's audio from its second block on, and
// rebuilds that block from half its overlap: silence stands for both.
void PacketSequence::fill(const Entry& entry, std::span<const std::int16_t> decoded,
                          Decoded& out) const {
    out.number = entry.number;
    out.bytes = entry.bytes;
    out.raw_start = raw_.raw_packet_start(entry.number);
    const auto values =
        static_cast<std::size_t>(2 * (raw_.raw_packet_start(entry.number + 1) - out.raw_start));
    if (!entry.first_after_restart && decoded.size() == values) {
        out.pcm = decoded;
        return;
    }
    out.made.clear();
    if (entry.first_after_restart) {
        const std::size_t half_rebuilt = std::min(decoded.size(), std::size_t{2} * kBlockFrames);
        decoded = decoded.subspan(half_rebuilt);
        const std::size_t kept = std::min(decoded.size(), values);
        out.made.assign(values - kept, 0);
        out.made.insert(out.made.end(), decoded.end() - static_cast<std::ptrdiff_t>(kept),
                        decoded.end());
    } else {
        out.made.assign(decoded.begin(), decoded.end());
    }
    out.made.resize(values, 0);
    out.pcm = out.made;
}

}  // namespace x91
