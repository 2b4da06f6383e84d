#include "library/decoder.h"

#include <string>

#include "format/limits.h"
#include "graphs/decode_chain.h"
#include "library/decode_runs.h"
#include "library/transform_tables.h"

namespace x91 {

static_assert(DecodeChain::kBlockBytes == kBlockFrames * 4);

struct Decoder::Impl {
    CheckedSettings settings;
    Result status;
    ThreadPlan plan;
    // One of the two: every packet decoded as it comes on one chain, or in
    // runs.
    std::unique_ptr<DecodeChain> chain;
    std::unique_ptr<DecodeRuns> runs;
    DecodedPackets decoded{std::make_shared<PcmBuffers>()};  // one chain's
    bool finished = false;

    Impl(const CheckedSettings& s, Result usable_threads, ThreadPlan threads)
        : settings(s), status(std::move(usable_threads)), plan(std::move(threads)) {
        if (!status) return;
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
};

Decoder::Decoder(const CheckedSettings& settings, const Threading& threading) {
    Result usable = check_threading(threading);
    ThreadPlan plan = usable ? plan_threads(threading) : ThreadPlan();
    impl_ = std::make_unique<Impl>(settings, std::move(usable), std::move(plan));
}

Decoder::Decoder(const CheckedSettings& settings, ThreadBudget& shared)
    : impl_(std::make_unique<Impl>(settings, Result{}, plan_threads(shared))) {}

Decoder::~Decoder() = default;
Decoder::Decoder(Decoder&&) noexcept = default;
Decoder& Decoder::operator=(Decoder&&) noexcept = default;

const Result& Decoder::status() const {
    return impl_->status;
}
const CheckedSettings& Decoder::settings() const {
    return impl_->settings;
}
std::size_t Decoder::frames_ready() const {
    return impl_->ready(DecodeRuns::Wait::no).frames();
}

Result Decoder::push_packet(const std::uint8_t* data, std::size_t size) {
    Impl& m = *impl_;
    if (!m.status) return m.status;
    if (m.finished) return {Status::invalid_state, "push after finish"};
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
    return impl_->ready(DecodeRuns::Wait::for_all).take_all(pcm);
}

bool Decoder::pull_packet(std::span<const std::int16_t>& pcm, Result& result) {
    DecodedPackets& ready = impl_->ready(DecodeRuns::Wait::for_next);
    if (ready.empty()) return false;
    result = ready.take_packet(pcm);
    return true;
}

}  // namespace x91
