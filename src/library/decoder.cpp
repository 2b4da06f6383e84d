#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "graphs/decode_chain.h"
#include "library/api_internal.h"
#include "library/codec.h"
#include "library/decode_runs.h"
#include "library/header_settings.h"
#include "library/threading.h"
#include "library/transform_tables.h"

namespace x91 {

static_assert(DecodeChain::kBlockBytes == kBlockFrames * 4);

struct Decoder::Impl {
    Header header;
    Result status;
    ThreadPlan plan;
    // One of the two: every packet decoded as it comes on one chain, or in
    // runs.
    std::unique_ptr<DecodeChain> chain;
    std::unique_ptr<DecodeRuns> runs;
    DecodedPackets decoded{std::make_shared<PcmBuffers>()};  // one chain's
    bool pushed = false;
    bool finished = false;
    // Frames handed out of the decoded audio so far, and the span of them
    // delivered: all of them until trim() narrows it. The cut is made as
    // the audio leaves, in stream order, so it is the same on any number of
    // threads.
    std::uint64_t handed_out = 0;
    std::uint64_t keep_from = 0;
    std::uint64_t keep_until = UINT64_MAX;

    Impl(const Header& h, ThreadPlan threads) : header(h), plan(std::move(threads)) {
        std::optional<CheckedSettings> checked;
        status = check_settings(settings_from(h), checked);
        if (status) build(*checked);
    }

    Impl(const CheckedSettings& s, ThreadPlan threads)
        : header(header_from(s.header())), plan(std::move(threads)) {
        build(s);
    }

    void build(const CheckedSettings& s) {
        ensure_transform_tables();
        if (plan.budget) {
            runs = std::make_unique<DecodeRuns>(
                s, *plan.budget, run_packets(plan, kDecodeRunBlocks, s.dsettings().group.frames));
        } else {
            chain = std::make_unique<DecodeChain>(s);
        }
    }

    // The audio decoded and not yet pulled, whole packets in stream order.
    // Once the stream is finished, every packet pushed is on its way, so
    // what is asked for is waited for.
    DecodedPackets& ready(DecodeRuns::Wait wait) {
        if (!runs) return decoded;
        return runs->decoded(finished ? wait : DecodeRuns::Wait::no);
    }

    // Of `frames` frames handed out next, the first kept and the number kept.
    std::pair<std::uint64_t, std::uint64_t> kept_of(std::uint64_t frames) const {
        const std::uint64_t from = std::max(handed_out, keep_from);
        const std::uint64_t until = std::min(handed_out + frames, keep_until);
        if (from >= until) return {0, 0};
        return {from - handed_out, until - from};
    }

    // Of `frames` frames handed out next, the first kept and the number
    // kept; counts them out.
    std::pair<std::size_t, std::size_t> hand_out(std::uint64_t frames) {
        const auto [skip, count] = kept_of(frames);
        handed_out += frames;
        return {static_cast<std::size_t>(skip), static_cast<std::size_t>(count)};
    }
};

Decoder::Decoder(const Header& header, const Threading& threading) {
    Result usable = check_threading(threading);
    impl_ = std::make_unique<Impl>(header, usable ? plan_threads(threading) : ThreadPlan());
    if (!usable && impl_->status) impl_->status = std::move(usable);
}
Decoder::~Decoder() = default;
Decoder::Decoder(Decoder&&) noexcept = default;
Decoder& Decoder::operator=(Decoder&&) noexcept = default;

Decoder::Decoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Decoder DecoderAccess::make(const CheckedSettings& settings, ThreadBudget& threads) {
    return Decoder(std::make_unique<Decoder::Impl>(settings, plan_threads(threads)));
}

const Result& Decoder::status() const {
    return impl_->status;
}
const Header& Decoder::header() const {
    return impl_->header;
}
std::size_t Decoder::frames_ready() const {
    const auto frames = impl_->ready(DecodeRuns::Wait::no).frames();
    return static_cast<std::size_t>(impl_->kept_of(frames).second);
}

Result Decoder::trim(std::uint32_t lead_in, std::uint64_t frames) {
    Impl& m = *impl_;
    if (!m.status) return m.status;
    if (m.pushed) return {Status::invalid_state, "trim after the first packet"};
    m.keep_from = lead_in;
    // A length beyond any decode cannot be reached; it must not wrap either.
    m.keep_until = frames > UINT64_MAX - lead_in ? UINT64_MAX : lead_in + frames;
    return {};
}

Result Decoder::push_packet(const std::uint8_t* data, std::size_t size) {
    Impl& m = *impl_;
    if (!m.status) return m.status;
    if (m.finished) return {Status::invalid_state, "push after finish"};
    m.pushed = true;
    if (size == 0 || size > kMaxPacketBytes || data == nullptr) {
        return {Status::packet_too_large, "a packet holds 1 to " + std::to_string(kMaxPacketBytes) +
                                              " bytes, not " + std::to_string(size)};
    }
    if (m.runs) {
        m.runs->push_packet(data, size);
        return {};
    }
    decode_packet(*m.chain, data, size, m.decoded);
    return m.decoded.last_result();
}

Result Decoder::finish() {
    Impl& m = *impl_;
    if (!m.status) return m.status;
    if (m.finished) return {Status::invalid_state, "finish called twice"};
    m.finished = true;
    if (m.runs) m.runs->finish();
    return {};
}

std::size_t Decoder::pull(std::vector<std::int16_t>& pcm) {
    const std::size_t at = pcm.size();
    impl_->ready(DecodeRuns::Wait::for_all).take_all(pcm);
    const auto [skip, count] = impl_->hand_out((pcm.size() - at) / 2);
    pcm.resize(at + 2 * (skip + count));
    pcm.erase(pcm.begin() + static_cast<std::ptrdiff_t>(at),
              pcm.begin() + static_cast<std::ptrdiff_t>(at + 2 * skip));
    return count;
}

bool Decoder::pull_packet(std::span<const std::int16_t>& pcm, Result& result) {
    DecodedPackets& ready = impl_->ready(DecodeRuns::Wait::for_next);
    if (ready.empty()) return false;
    result = ready.take_packet(pcm);
    const auto [skip, count] = impl_->hand_out(pcm.size() / 2);
    pcm = pcm.subspan(2 * skip, 2 * count);
    return true;
}

}  // namespace x91
