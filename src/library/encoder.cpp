#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <optional>
#include <utility>

#include "format/crc32.h"
#include "format/extension_block.h"
#include "format/packet_framing.h"
#include "graphs/encode_chain.h"
#include "library/api_internal.h"
#include "library/codec.h"
#include "library/encode_runs.h"
#include "library/header_settings.h"
#include "library/tag_list.h"
#include "library/threading.h"
#include "library/transform_tables.h"
#include "library/tuned_options.h"

namespace x91 {

namespace {

static_assert(kBlockFrames == EncodeChain::kBlockFrames);

// The transform gives 882 lines per channel; an encoder cannot code more.
constexpr int kMaxEncoderLines = 882;

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

void add_to_crc(std::uint32_t& crc, const std::vector<std::uint8_t>& bytes) {
    crc = crc32_update(crc, bytes.data(), bytes.size());
}

}  // namespace

struct Encoder::Impl {
    Header header;
    Result status;
    ThreadPlan plan;
    // One of the two: the whole stream on one chain, or in runs.
    std::unique_ptr<EncodeChain> chain;
    std::unique_ptr<EncodeRuns> runs;
    std::vector<unsigned char> block = std::vector<unsigned char>(EncodeChain::kBlockBytes);
    int block_fill = 0;  // bytes of the block holding samples
    std::uint64_t frames = 0;
    std::uint64_t blocks_fed = 0;
    bool finished = false;
    bool trailer_written = false;
    std::deque<std::vector<std::uint8_t>> ready;
    // CRC of the file as far as it was handed out: the header, then every
    // packet taken, as append_packet() writes it.
    std::uint32_t crc = 0;
    std::vector<std::string> tags;  // "NAME=VALUE"

    // The tuned encoder (non-null `tuned`) compares each frame's band levels
    // with the frame before, state a run's warm-up does not rebuild, so it
    // always works on one chain.
    Impl(const da_ESettings& e, const HeaderSettings& s, ThreadPlan threads,
         const TunedEncoderSetup* tuned)
        : header(header_from(s)), plan(std::move(threads)) {
        std::optional<CheckedSettings> checked;
        if (Result check = check_settings(s, checked); !check) {
            // Settings an encoder is handed are an argument, not a file read.
            status = Result{Status::invalid_argument, std::move(check.message)};
        } else if (const int lines = checked->dsettings().global.lines; lines > kMaxEncoderLines) {
            status = Result{Status::invalid_argument,
                            "an encoder codes at most 882 lines, not " + std::to_string(lines)};
        } else {
            ensure_transform_tables();
            if (plan.budget && !tuned) {
                runs = std::make_unique<EncodeRuns>(
                    e, *checked, *plan.budget,
                    run_packets(plan, kEncodeRunBlocks, checked->dsettings().group.frames));
            } else {
                chain = std::make_unique<EncodeChain>(e, *checked, tuned);
            }
            add_to_crc(crc, header.bytes());
        }
    }

    // An encoder refused before anything was built.
    Impl(const Header& h, Result refusal) : header(h), status(std::move(refusal)) {}

    void feed() {
        ++blocks_fed;
        if (runs) {
            runs->feed_block(block.data());
            return;
        }
        chain->feed_block(block.data());
        while (chain->has_packet()) {
            const auto packet = chain->take_packet();
            const unsigned char* bytes = packet->data();
            ready.emplace_back(bytes, bytes + packet->bytes());
        }
    }
};

Encoder::Encoder(const Header& header, const Threading& threading) {
    Result usable = check_threading(threading);
    impl_ = std::make_unique<Impl>(es, settings_from(header),
                                   usable ? plan_threads(threading) : ThreadPlan(), nullptr);
    if (!usable && impl_->status) impl_->status = std::move(usable);
}

Encoder::Encoder(const EncoderOptions& options, const Threading& threading) {
    if (Result usable = check_threading(threading); !usable) {
        impl_ = std::make_unique<Impl>(options.header, std::move(usable));
        return;
    }
    if (!options.tuned) {
        *this = Encoder(options.header, threading);
        return;
    }
    *this = EncoderAccess::make(es, settings_from(options.header), &options.tuning);
}
Encoder::~Encoder() = default;
Encoder::Encoder(Encoder&&) noexcept = default;
Encoder& Encoder::operator=(Encoder&&) noexcept = default;

Encoder::Encoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Encoder EncoderAccess::make(const da_ESettings& esettings, const HeaderSettings& settings,
                            const TunedChoices* tuned) {
    return make(esettings, settings, ThreadPlan(), tuned);
}

Encoder EncoderAccess::make(const da_ESettings& esettings, const HeaderSettings& settings,
                            ThreadBudget& threads, const TunedChoices* tuned) {
    return make(esettings, settings, plan_threads(threads), tuned);
}

Encoder EncoderAccess::make(const da_ESettings& esettings, const HeaderSettings& settings,
                            ThreadPlan threads, const TunedChoices* tuned) {
    if (!tuned)
        return Encoder(
            std::make_unique<Encoder::Impl>(esettings, settings, std::move(threads), nullptr));
    if (Result problem = tuned_choices_problem(*tuned); !problem)
        return Encoder(std::make_unique<Encoder::Impl>(header_from(settings), std::move(problem)));
    const TunedEncoderSetup setup = tuned_setup_from(*tuned);
    return Encoder(
        std::make_unique<Encoder::Impl>(esettings, settings, std::move(threads), &setup));
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
    if (m.finished) return Result{Status::invalid_state, "push after finish"};
    if (frames > 0 && samples == nullptr) return Result{Status::invalid_argument, "no samples"};
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
    if (m.finished) return Result{Status::invalid_state, "finish called twice"};
    m.finished = true;
    const std::uint64_t total = blocks_to_feed(m.frames, m.header.frames_per_packet);
    if (m.block_fill > 0) {
        std::fill(m.block.begin() + m.block_fill, m.block.end(), 0);
        m.feed();
        m.block_fill = 0;
    }
    std::fill(m.block.begin(), m.block.end(), 0);
    while (m.blocks_fed < total) m.feed();
    if (m.runs) m.runs->finish();
    return {};
}

bool Encoder::next_packet(std::vector<std::uint8_t>& packet) {
    Impl& m = *impl_;
    if (m.runs) {
        if (!m.runs->next_packet(packet)) return false;
    } else {
        if (m.ready.empty()) return false;
        packet = std::move(m.ready.front());
        m.ready.pop_front();
    }
    const auto count = packet_count_image(static_cast<std::int32_t>(packet.size()));
    m.crc = crc32_update(m.crc, count.data(), count.size());
    add_to_crc(m.crc, packet);
    return true;
}

Result Encoder::set_tags(const std::vector<Tag>& tags) {
    Impl& m = *impl_;
    if (m.trailer_written) return Result{Status::invalid_state, "tags after the trailer"};
    std::size_t bytes = 0;
    for (const Tag& tag : tags) bytes += tag_field_bytes(tag);
    if (bytes > extension_tag_room())
        return Result{Status::invalid_argument, "the tags do not fit an extension block"};
    std::vector<std::string> texts;
    if (Result made = texts_from_tags(tags, texts); !made) return made;
    m.tags = std::move(texts);
    return {};
}

Result Encoder::append_trailer(std::vector<std::uint8_t>& file) {
    Impl& m = *impl_;
    if (!m.status) return m.status;
    // After finish() every run is done, so a packet not yet taken waits in
    // the runs' queue when there are runs.
    const bool packets_left = m.runs ? m.runs->has_packet() : !m.ready.empty();
    if (!m.finished || packets_left || m.trailer_written)
        return Result{Status::invalid_state,
                      "the trailer follows finish() and the last packet, once"};
    m.trailer_written = true;
    const auto end = packet_count_image(kEndMarker);
    m.crc = crc32_update(m.crc, end.data(), end.size());
    ExtensionContent content;
    content.frames = m.frames;
    content.lead_in = static_cast<std::uint32_t>(kBlockFrames);
    content.tags = m.tags;
    content.stream_crc = m.crc;
    const std::vector<unsigned char> block = extension_block_image(content);
    file.insert(file.end(), end.begin(), end.end());
    file.insert(file.end(), block.begin(), block.end());
    return {};
}

}  // namespace x91
