#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "framework/packets.h"
#include "graphs/decode_chain.h"
#include "library/api_internal.h"
#include "library/header_settings.h"
#include "library/transform_tables.h"
#include "x91/x91.h"

namespace x91 {

static_assert(DecodeChain::kBlockBytes == kBlockFrames * 4);

struct Decoder::Impl {
    Header header;
    Result status;
    std::unique_ptr<DecodeChain> chain;
    std::vector<std::int16_t> pcm;
    bool pushed = false;
    // Frames decoded so far, and the span of them delivered: all of them
    // until trim() narrows it.
    std::uint64_t decoded = 0;
    std::uint64_t keep_from = 0;
    std::uint64_t keep_until = UINT64_MAX;

    explicit Impl(const Header& h) : header(h) {
        std::optional<CheckedSettings> checked;
        status = check_settings(settings_from(h), checked);
        if (status) build(*checked);
    }

    explicit Impl(const CheckedSettings& s) : header(header_from(s.header())) { build(s); }

    void build(const CheckedSettings& s) {
        ensure_transform_tables();
        chain = std::make_unique<DecodeChain>(s);
    }
};

Decoder::Decoder(const Header& header) : impl_(std::make_unique<Impl>(header)) {}
Decoder::~Decoder() = default;
Decoder::Decoder(Decoder&&) noexcept = default;
Decoder& Decoder::operator=(Decoder&&) noexcept = default;

Decoder::Decoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Decoder DecoderAccess::make(const CheckedSettings& settings) {
    return Decoder(std::make_unique<Decoder::Impl>(settings));
}

const Result& Decoder::status() const {
    return impl_->status;
}
const Header& Decoder::header() const {
    return impl_->header;
}
std::size_t Decoder::frames_ready() const {
    return impl_->pcm.size() / 2;
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
    m.pushed = true;
    if (size == 0 || size > kMaxPacketBytes || data == nullptr) {
        return {Status::packet_too_large, "a packet holds 1 to " + std::to_string(kMaxPacketBytes) +
                                              " bytes, not " + std::to_string(size)};
    }
    const int n = static_cast<int>(size);
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[size]);
    std::memcpy(bytes.get(), data, size);
    const int under_read_before = m.chain->under_read_packets();
    const bool whole = m.chain->feed_packet(packet_from_bytes(std::move(bytes), n));
    while (m.chain->has_block()) {
        const auto block = m.chain->take_block();
        // The part of this block's frames that is delivered.
        const std::uint64_t first = m.decoded;
        m.decoded += kBlockFrames;
        const std::uint64_t from = std::max(first, m.keep_from);
        const std::uint64_t until = std::min(m.decoded, m.keep_until);
        if (from >= until) continue;
        const auto skip = static_cast<std::size_t>(2 * (from - first));
        const auto count = static_cast<std::size_t>(2 * (until - from));
        const std::size_t at = m.pcm.size();
        m.pcm.resize(at + count);
        const unsigned char* kept = block.get() + 2 * skip;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(m.pcm.data() + at, kept, 2 * count);
        } else {
            for (std::size_t k = 0; k < count; ++k)
                m.pcm[at + k] = static_cast<std::int16_t>(kept[2 * k] | kept[2 * k + 1] << 8);
        }
    }
    if (!whole) return {Status::packet_overrun, "its bits run past its end"};
    if (m.chain->under_read_packets() != under_read_before)
        return {Status::packet_unread_bytes, "whole bytes at its end are left unread"};
    return {};
}

std::size_t Decoder::pull(std::vector<std::int16_t>& pcm) {
    const std::size_t frames = impl_->pcm.size() / 2;
    if (pcm.empty()) {
        pcm.swap(impl_->pcm);
    } else {
        pcm.insert(pcm.end(), impl_->pcm.begin(), impl_->pcm.end());
    }
    impl_->pcm.clear();
    return frames;
}

}  // namespace x91
