#include "library/encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "format/limits.h"
#include "format/settings.h"
#include "graphs/encode_chain.h"
#include "library/encode_runs.h"
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

// ok, or why an encoder cannot be built from these options.
Result refusal_of(const EncoderOptions& options, std::optional<CheckedSettings>& checked) {
    if (Result check = check_settings(options.header, checked); !check) {
        // Settings an encoder is handed are an argument, not a file read.
        return {Status::invalid_argument, std::move(check.message)};
    }
    if (const int lines = checked->dsettings().global.lines; lines > kMaxEncoderLines)
        return {Status::invalid_argument,
                "an encoder codes at most 882 lines, not " + std::to_string(lines)};
    if (options.tuned) return tuned_choices_problem(options.tuning);
    return {};
}

}  // namespace

struct Encoder::Impl {
    HeaderSettings settings;
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

    // The tuned encoder compares each frame's band levels with the frame
    // before, state a run's warm-up does not rebuild, so it always works on
    // one chain.
    Impl(const EncoderOptions& options, Result usable_threads, ThreadPlan threads)
        : settings(options.header), status(std::move(usable_threads)), plan(std::move(threads)) {
        std::optional<CheckedSettings> checked;
        if (Result refused = refusal_of(options, checked); !refused) status = std::move(refused);
        if (!status) return;
        ensure_transform_tables();
        if (options.tuned) {
            const TunedEncoderSetup setup = tuned_setup_from(options.tuning);
            chain = std::make_unique<EncodeChain>(es, *checked, &setup);
        } else if (plan.budget) {
            runs = std::make_unique<EncodeRuns>(
                es, *checked, *plan.budget,
                run_packets(plan, kEncodeRunBlocks, checked->dsettings().group.frames));
        } else {
            chain = std::make_unique<EncodeChain>(es, *checked, nullptr);
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

Encoder::Encoder(const EncoderOptions& options, const Threading& threading) {
    Result usable = check_threading(threading);
    ThreadPlan plan = usable ? plan_threads(threading) : ThreadPlan();
    impl_ = std::make_unique<Impl>(options, std::move(usable), std::move(plan));
}

Encoder::Encoder(const EncoderOptions& options, ThreadBudget& shared)
    : impl_(std::make_unique<Impl>(options, Result{}, plan_threads(shared))) {}

Encoder::~Encoder() = default;
Encoder::Encoder(Encoder&&) noexcept = default;
Encoder& Encoder::operator=(Encoder&&) noexcept = default;

const Result& Encoder::status() const {
    return impl_->status;
}
const HeaderSettings& Encoder::settings() const {
    return impl_->settings;
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
    const std::uint64_t total = blocks_to_feed(m.frames, m.settings.dsettings.group.frames);
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
    if (m.runs) return m.runs->next_packet(packet);
    if (m.ready.empty()) return false;
    packet = std::move(m.ready.front());
    m.ready.pop_front();
    return true;
}

}  // namespace x91
