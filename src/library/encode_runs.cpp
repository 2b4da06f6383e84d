#include "library/encode_runs.h"

#include <utility>

#include "graphs/encode_chain.h"

namespace x91 {

namespace {

constexpr std::size_t kBlockBytes = EncodeChain::kBlockBytes;

}  // namespace

EncodeRuns::EncodeRuns(const da_ESettings& e, const CheckedSettings& s, ThreadBudget& budget,
                       int run_packets)
    : settings_(std::make_shared<const Settings>(Settings{e, s})),
      spare_blocks_(std::make_shared<SpareBuffers<unsigned char>>()),
      frames_per_packet_(s.dsettings().group.frames),
      run_blocks_(frames_per_packet_ * run_packets + 1),
      runs_(budget) {
    run_.reserve(static_cast<std::size_t>(run_blocks_ + 1) * kBlockBytes);
}

EncodeRuns::Packets EncodeRuns::encode_run(const Settings& settings,
                                           const std::vector<unsigned char>& blocks,
                                           bool preloaded) {
    EncodeChain chain(settings.e, settings.s);
    const unsigned char* block = blocks.data();
    const unsigned char* const end = block + blocks.size();
    if (preloaded) {
        chain.preload_block(block);
        block += kBlockBytes;
    }
    Packets packets;
    for (; block != end; block += kBlockBytes) {
        chain.feed_block(block);
        while (chain.has_packet()) {
            const auto packet = chain.take_packet();
            packets.emplace_back(packet->data(), packet->data() + packet->bytes());
        }
    }
    return packets;
}

void EncodeRuns::feed_block(const unsigned char* pcm) {
    run_.insert(run_.end(), pcm, pcm + kBlockBytes);
    if (++blocks_ == run_blocks_) hand_in();
}

void EncodeRuns::hand_in() {
    while (runs_.full()) keep(runs_.take_oldest());
    // The next run starts with this one's last two blocks: the block
    // before its first, and its first.
    std::vector<unsigned char> next = spare_blocks_->take();
    next.reserve(run_.capacity());
    next.assign(run_.end() - 2 * kBlockBytes, run_.end());
    runs_.submit([settings = settings_, spares = spare_blocks_, blocks = std::move(run_),
                  preloaded = preloaded_]() mutable {
        Packets packets = encode_run(*settings, blocks, preloaded);
        spares->give(std::move(blocks));
        return packets;
    });
    run_ = std::move(next);
    preloaded_ = true;
    blocks_ = 1;
}

void EncodeRuns::finish() {
    // The rest gives a packet only with a group and the frame after it.
    if (blocks_ > frames_per_packet_) hand_in();
    run_.clear();
    while (!runs_.empty()) keep(runs_.take_oldest());
}

void EncodeRuns::keep(Packets&& packets) {
    for (auto& packet : packets) ready_.push_back(std::move(packet));
}

bool EncodeRuns::next_packet(std::vector<std::uint8_t>& packet) {
    while (ready_.empty()) {
        auto done = runs_.take_done();
        if (!done) return false;
        keep(std::move(*done));
    }
    packet = std::move(ready_.front());
    ready_.pop_front();
    return true;
}

}  // namespace x91
