#include <optional>
#include <string>

#include "graphs/decode_chain.h"
#include "library/api_internal.h"
#include "library/decode_runs.h"
#include "library/header_settings.h"
#include "library/threading.h"
#include "library/transform_tables.h"
#include "x91/x91.h"

namespace x91 {

struct Decoder::Impl {
    Header header;
    Result status;
    ThreadPlan plan;
    // One of the two: every packet decoded as it comes on one chain, or in
    // runs.
    std::unique_ptr<DecodeChain> chain;
    std::unique_ptr<DecodeRuns> runs;
    DecodedPackets decoded;  // one chain's
    bool finished = false;

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

bool Decoder::pull_packet(std::vector<std::int16_t>& pcm, Result& result) {
    DecodedPackets& ready = impl_->ready(DecodeRuns::Wait::for_next);
    if (ready.empty()) return false;
    result = ready.take_packet(pcm);
    return true;
}

}  // namespace x91
