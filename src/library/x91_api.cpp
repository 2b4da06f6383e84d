#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <mutex>
#include <utility>

#include "dsp/fft.h"
#include "format/packet_framing.h"
#include "format/packet_walker.h"
#include "format/quality.h"
#include "format/settings_io.h"
#include "framework/packets.h"
#include "graphs/decode_chain.h"
#include "graphs/encode_chain.h"
#include "library/api_internal.h"
#include "storage/memory_stream.h"
#include "x91/x91.h"

namespace x91 {

namespace {

static_assert(kHeaderBytes == X91_HEADER_BYTES);
static_assert(kMaxPacketBytes == static_cast<std::size_t>(kMaxPacketCount));
static_assert(kBlockFrames == EncodeChain::kBlockFrames);

// The transform gives 882 lines per channel; an encoder cannot code more.
constexpr int kMaxEncoderLines = 882;

Result failure(Status status, std::string message) {
    return Result{status, std::move(message)};
}

// Blocks an encoder must be fed for an input of `frames` sample frames so
// that every frame reaches a packet: the input's blocks (the last one
// zero-filled), then silence until the packet holding the last input block
// has left the encoder. That packet leaves one frame after its group is
// full, and decoding rebuilds a block one frame late, so P = ceil((B + 2) / F)
// packets hold all B input blocks; they need F·P + 1 blocks fed.
std::uint64_t blocks_to_feed(std::uint64_t frames, int frames_per_packet) {
    if (frames == 0) return 0;
    const std::uint64_t f = static_cast<std::uint64_t>(frames_per_packet);
    const std::uint64_t blocks = (frames + kBlockFrames - 1) / kBlockFrames;
    const std::uint64_t packets = (blocks + 2 + f - 1) / f;
    return packets * f + 1;
}

// The transform tables every encoder and decoder reads. The command builds
// them around its whole run; a program using the library gets them with its
// first encoder or decoder, for the rest of the process. Building them again
// after a release is allowed, so the lock is taken on every construction.
void ensure_transform_tables() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (!da_fft_ready()) da_fft_init();
}

}  // namespace

const char* version() {
    return X91_VERSION;
}

namespace {

void fill_header(Header& h, const HeaderSettings& s) {
    const da_DSettings& d = s.dsettings;
    const da_ISettings& i = s.isettings;
    std::memcpy(h.features, s.features.reserved, sizeof h.features);
    h.lines = d.global.lines;
    h.intensity_bands = d.intensity.bands;
    h.intensity_steps = d.intensity.steps;
    h.level_range = d.intensity.range;
    h.side_stereo_bands = d.side_stereo.bands;
    h.side_stereo_levels = d.side_stereo.levels;
    h.frames_per_packet = d.group.frames;
    h.masking_level = i.masking.level_scale;
    h.masking_downward = i.masking.downward_base;
    h.masking_upward = i.masking.upward_base;
    h.masking_reserved[0] = i.masking.reserved4;
    h.masking_reserved[1] = i.masking.reserved5;
    h.masking_reserved[2] = i.masking.reserved6;
    h.quantizer_base = i.quantize.base;
}

// The public Header and the codec's header settings hold the same values.
Header header_from(const HeaderSettings& settings) {
    Header h;
    fill_header(h, settings);
    return h;
}

HeaderSettings settings_from(const Header& h) {
    HeaderSettings s;
    da_DSettings& d = s.dsettings;
    da_ISettings& i = s.isettings;
    std::memcpy(s.features.reserved, h.features, sizeof h.features);
    d.global.lines = h.lines;
    d.intensity.bands = h.intensity_bands;
    d.intensity.steps = h.intensity_steps;
    d.intensity.range = h.level_range;
    d.side_stereo.bands = h.side_stereo_bands;
    d.side_stereo.levels = h.side_stereo_levels;
    d.group.frames = h.frames_per_packet;
    i.masking.level_scale = h.masking_level;
    i.masking.downward_base = h.masking_downward;
    i.masking.upward_base = h.masking_upward;
    i.masking.reserved4 = h.masking_reserved[0];
    i.masking.reserved5 = h.masking_reserved[1];
    i.masking.reserved6 = h.masking_reserved[2];
    i.quantize.base = h.quantizer_base;
    return s;
}

}  // namespace

// --- Header ------------------------------------------------------------------

Header::Header() {
    fill_header(*this, HeaderSettings{da_CodeFeatures{}, ds, is});
}

Result Header::apply_quality(float percent) {
    if (!quality_in_range(percent)) {
        return failure(Status::invalid_argument, "quality must be from 10 to 400 percent");
    }
    HeaderSettings s = settings_from(*this);
    s.isettings = x91::apply_quality(s.isettings, percent);
    *this = header_from(s);
    return {};
}

Result Header::check() const {
    std::optional<CheckedSettings> checked;
    return check_settings(settings_from(*this), checked);
}

std::vector<std::uint8_t> Header::bytes() const {
    const auto image = x91_header_image(settings_from(*this));
    return std::vector<std::uint8_t>(image.begin(), image.end());
}

Result Header::parse(const std::uint8_t* data, std::size_t size, Header& out) {
    MemoryStream in(data, size);
    std::optional<CheckedSettings> settings;
    Result read = read_x91_header(in, settings);
    if (read) out = header_from(settings->header());
    return read;
}

void append_packet(std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& packet) {
    const auto count = packet_count_image(static_cast<std::int32_t>(packet.size()));
    file.insert(file.end(), count.begin(), count.end());
    file.insert(file.end(), packet.begin(), packet.end());
}

void append_end(std::vector<std::uint8_t>& file) {
    const auto count = packet_count_image(kEndMarker);
    file.insert(file.end(), count.begin(), count.end());
}

struct PacketReader::Impl {
    std::size_t start;
    MemoryStream in;
    PacketWalker walker;

    Impl(const std::uint8_t* file, std::size_t size)
        : start(std::min(size, kHeaderBytes)),
          in(file ? file + start : nullptr, size - start),
          walker(in, static_cast<std::int64_t>(size - start)) {}
};

PacketReader::PacketReader(const std::uint8_t* file, std::size_t size)
    : impl_(std::make_unique<Impl>(file, file ? size : 0)) {}
PacketReader::~PacketReader() = default;
PacketReader::PacketReader(PacketReader&&) noexcept = default;
PacketReader& PacketReader::operator=(PacketReader&&) noexcept = default;

Result PacketReader::next(std::vector<std::uint8_t>& packet) {
    return impl_->walker.next(packet);
}

std::size_t PacketReader::offset() const {
    return impl_->start + static_cast<std::size_t>(impl_->walker.bytes_read());
}

// --- Encoder -----------------------------------------------------------------

struct Encoder::Impl {
    Header header;
    Result status;
    std::unique_ptr<EncodeChain> chain;
    std::vector<unsigned char> block = std::vector<unsigned char>(EncodeChain::kBlockBytes);
    int block_fill = 0;  // bytes of the block holding samples
    std::uint64_t frames = 0;
    std::uint64_t blocks_fed = 0;
    bool finished = false;
    std::deque<std::vector<std::uint8_t>> ready;

    Impl(const da_ESettings& e, const HeaderSettings& s) : header(header_from(s)) {
        std::optional<CheckedSettings> checked;
        if (Result check = check_settings(s, checked); !check) {
            // Settings an encoder is handed are an argument, not a file read.
            status = Result{Status::invalid_argument, std::move(check.message)};
        } else if (const int lines = checked->dsettings().global.lines; lines > kMaxEncoderLines) {
            status = Result{Status::invalid_argument,
                            "an encoder codes at most 882 lines, not " + std::to_string(lines)};
        } else {
            ensure_transform_tables();
            chain = std::make_unique<EncodeChain>(e, *checked);
        }
    }

    void feed() {
        chain->feed_block(block.data());
        ++blocks_fed;
        while (chain->has_packet()) {
            const auto packet = chain->take_packet();
            const unsigned char* bytes = packet->data();
            ready.emplace_back(bytes, bytes + packet->bytes());
        }
    }
};

Encoder::Encoder(const Header& header) : impl_(std::make_unique<Impl>(es, settings_from(header))) {}
Encoder::~Encoder() = default;
Encoder::Encoder(Encoder&&) noexcept = default;
Encoder& Encoder::operator=(Encoder&&) noexcept = default;

Encoder::Encoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Encoder EncoderAccess::make(const da_ESettings& esettings, const HeaderSettings& settings) {
    return Encoder(std::make_unique<Encoder::Impl>(esettings, settings));
}

const Result& Encoder::status() const {
    return impl_->status;
}
const Header& Encoder::header() const {
    return impl_->header;
}
std::uint64_t Encoder::frames_pushed() const {
    return impl_->frames;
}

Result Encoder::push(const std::int16_t* samples, std::size_t frames) {
    Impl& m = *impl_;
    if (!m.status) return m.status;
    if (m.finished) return failure(Status::invalid_state, "push after finish");
    if (frames > 0 && samples == nullptr) return failure(Status::invalid_argument, "no samples");
    std::size_t at = 0;
    const std::size_t values = 2 * frames;
    while (at < values) {
        const std::size_t room =
            static_cast<std::size_t>(EncodeChain::kBlockBytes - m.block_fill) / 2;
        const std::size_t count = std::min(room, values - at);
        unsigned char* out = m.block.data() + m.block_fill;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out, samples + at, 2 * count);
        } else {
            for (std::size_t k = 0; k < count; ++k) {
                const auto v = static_cast<std::uint16_t>(samples[at + k]);
                out[2 * k] = static_cast<unsigned char>(v & 0xFF);
                out[2 * k + 1] = static_cast<unsigned char>(v >> 8);
            }
        }
        at += count;
        m.block_fill += static_cast<int>(2 * count);
        if (m.block_fill == EncodeChain::kBlockBytes) {
            m.feed();
            m.block_fill = 0;
        }
    }
    m.frames += frames;
    return {};
}

Result Encoder::finish() {
    Impl& m = *impl_;
    if (!m.status) return m.status;
    if (m.finished) return failure(Status::invalid_state, "finish called twice");
    m.finished = true;
    const std::uint64_t total = blocks_to_feed(m.frames, m.header.frames_per_packet);
    if (m.block_fill > 0) {
        std::fill(m.block.begin() + m.block_fill, m.block.end(), 0);
        m.feed();
        m.block_fill = 0;
    }
    std::fill(m.block.begin(), m.block.end(), 0);
    while (m.blocks_fed < total) m.feed();
    return {};
}

bool Encoder::next_packet(std::vector<std::uint8_t>& packet) {
    if (impl_->ready.empty()) return false;
    packet = std::move(impl_->ready.front());
    impl_->ready.pop_front();
    return true;
}

// --- Decoder -----------------------------------------------------------------

struct Decoder::Impl {
    Header header;
    Result status;
    std::unique_ptr<DecodeChain> chain;
    std::vector<std::int16_t> pcm;

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

Result Decoder::push_packet(const std::uint8_t* data, std::size_t size) {
    Impl& m = *impl_;
    if (!m.status) return m.status;
    if (size == 0 || size > kMaxPacketBytes || data == nullptr) {
        return failure(Status::packet_too_large, "a packet holds 1 to " +
                                                     std::to_string(kMaxPacketBytes) +
                                                     " bytes, not " + std::to_string(size));
    }
    const int n = static_cast<int>(size);
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[size]);
    std::memcpy(bytes.get(), data, size);
    const int under_read_before = m.chain->under_read_packets();
    const bool whole = m.chain->feed_packet(packet_from_bytes(std::move(bytes), n));
    while (m.chain->has_block()) {
        const auto block = m.chain->take_block();
        const std::size_t at = m.pcm.size();
        m.pcm.resize(at + DecodeChain::kBlockBytes / 2);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(m.pcm.data() + at, block.get(), DecodeChain::kBlockBytes);
        } else {
            for (int k = 0; k < DecodeChain::kBlockBytes / 2; ++k)
                m.pcm[at + static_cast<std::size_t>(k)] =
                    static_cast<std::int16_t>(block.get()[2 * k] | block.get()[2 * k + 1] << 8);
        }
    }
    if (!whole) return failure(Status::packet_overrun, "its bits run past its end");
    if (m.chain->under_read_packets() != under_read_before)
        return failure(Status::packet_unread_bytes, "whole bytes at its end are left unread");
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
