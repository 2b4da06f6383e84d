#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <optional>
#include <utility>

#include "graphs/encode_chain.h"
#include "library/api_internal.h"
#include "library/encode_runs.h"
#include "library/header_settings.h"
#include "library/threading.h"
#include "library/transform_tables.h"
#include "x91/x91.h"

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
    std::deque<std::vector<std::uint8_t>> ready;

    Impl(const da_ESettings& e, const HeaderSettings& s, ThreadPlan threads)
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
            if (plan.budget) {
                runs = std::make_unique<EncodeRuns>(
                    e, *checked, *plan.budget,
                    run_packets(plan, kEncodeRunBlocks, checked->dsettings().group.frames));
            } else {
                chain = std::make_unique<EncodeChain>(e, *checked);
            }
        }
    }

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
                                   usable ? plan_threads(threading) : ThreadPlan());
    if (!usable && impl_->status) impl_->status = std::move(usable);
}
Encoder::~Encoder() = default;
Encoder::Encoder(Encoder&&) noexcept = default;
Encoder& Encoder::operator=(Encoder&&) noexcept = default;

Encoder::Encoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Encoder EncoderAccess::make(const da_ESettings& esettings, const HeaderSettings& settings,
                            ThreadBudget& threads) {
    return Encoder(std::make_unique<Encoder::Impl>(esettings, settings, plan_threads(threads)));
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
    if (impl_->runs) return impl_->runs->next_packet(packet);
    if (impl_->ready.empty()) return false;
    packet = std::move(impl_->ready.front());
    impl_->ready.pop_front();
    return true;
}

}  // namespace x91
