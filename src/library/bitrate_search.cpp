// The quality search: trial encodes, first of the whole piece or of
// stretches of it, then checked on the whole.
#include "library/bitrate_search.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "format/limits.h"
#include "library/encoder.h"

namespace x91 {

namespace {

// Pieces up to this long are searched whole, held in memory (about 10 MB).
constexpr double kWholeSeconds = 60.0;
// Longer ones are searched on kStretches stretches of kStretchSeconds each,
// evenly spread, then checked whole.
constexpr int kStretches = 12;
constexpr double kStretchSeconds = 3.0;
// A whole-piece check streams the source in pieces of this many frames.
constexpr std::size_t kChunkFrames = 16 * kBlockFrames;
// The search stops once a trial lands this close to the rate.
constexpr double kClose = 0.01;
constexpr int kMaxTrials = 10;

// The search moves in double; each trial's quality is the float an encoder
// is then given.
EncoderOptions options_at(double quality, bool tuned) {
    EncoderOptions options;
    (void)options_at_quality(static_cast<float>(quality), tuned, options);
    return options;
}

// Counts the bytes of an x91 file as its packets come out of an encoder.
struct FileSize {
    explicit FileSize(const EncoderOptions& options) : encoder(options) {}

    void push(const std::int16_t* pcm, std::size_t frames) {
        (void)encoder.push(pcm, frames);
        take_packets();
    }
    // Kilobits per second of the whole file, its header and framing
    // included, over `frames` of audio.
    double kbps(std::size_t frames) {
        (void)encoder.finish();
        take_packets();
        const double seconds = static_cast<double>(frames) / kSampleRate;
        return static_cast<double>(bytes) * 8.0 / seconds / 1000.0;
    }

  private:
    void take_packets() {
        while (encoder.next_packet(packet)) bytes += 4 + packet.size();
    }

    Encoder encoder;
    std::vector<std::uint8_t> packet;
    std::size_t bytes = kHeaderBytes + 4;  // the header and the end marker
};

struct Trial {
    double quality;
    double kbps;
};

// The quality at which rate(quality) comes closest to kbps, searched within
// [low, high] by false position on the logarithms of both (the rate grows
// about as a power of the quality), halving the bracket whenever one end
// stays put twice. Leaves the last bracket in low and high.
template <typename Rate>
Trial search(Rate rate, double kbps, Trial& low, Trial& high) {
    if (kbps <= low.kbps) return low;
    if (kbps >= high.kbps) return high;
    Trial best = std::fabs(low.kbps - kbps) < std::fabs(high.kbps - kbps) ? low : high;
    int stuck = 0;  // > 0: low stayed put, < 0: high stayed put
    for (int step = 0; step < kMaxTrials; ++step) {
        const double t =
            std::abs(stuck) >= 2 ? 0.5 : std::log(kbps / low.kbps) / std::log(high.kbps / low.kbps);
        const double q =
            low.quality * std::pow(high.quality / low.quality, std::clamp(t, 0.02, 0.98));
        const Trial trial{q, rate(q)};
        if (std::fabs(trial.kbps - kbps) < std::fabs(best.kbps - kbps)) best = trial;
        if (std::fabs(trial.kbps / kbps - 1.0) < kClose) break;
        if (trial.kbps < kbps) {
            low = trial;
            stuck = stuck < 0 ? stuck - 1 : -1;
        } else {
            high = trial;
            stuck = stuck > 0 ? stuck + 1 : 1;
        }
        if (std::abs(stuck) > 2) stuck = 0;
    }
    return best;
}

// The rate of an encode of pcm in memory at a quality. (A named type, not a
// lambda made by a lambda: the library's symbol check reads the names of
// nested lambdas as names outside the namespace.)
struct RateInMemory {
    const std::vector<std::int16_t>& pcm;
    bool tuned;

    double operator()(double quality) const {
        FileSize size(options_at(quality, tuned));
        size.push(pcm.data(), pcm.size() / 2);
        return size.kbps(pcm.size() / 2);
    }
};

// Audio in memory as a source.
struct MemoryPcm {
    const std::int16_t* pcm;

    static bool read(void* context, std::uint64_t first, std::size_t count, std::int16_t* out) {
        const std::int16_t* from = static_cast<MemoryPcm*>(context)->pcm + 2 * first;
        std::copy(from, from + 2 * count, out);
        return true;
    }
};

}  // namespace

Result quality_for_bitrate(const RandomAccessPcm& source, double kbps, bool tuned,
                           float& out_quality) {
    if (!(kbps > 0.0) || !std::isfinite(kbps))
        return Result{Status::invalid_argument, "the bit rate must be a positive number"};
    if (source.frames == 0 || source.read == nullptr)
        return Result{Status::invalid_argument, "no samples"};
    const Result read_failed{Status::read_failed, "read failed while searching the bit rate"};

    const double seconds = static_cast<double>(source.frames) / kSampleRate;
    const double lowest = kQualityMin, highest = kQualityMax;
    if (seconds <= kWholeSeconds) {
        std::vector<std::int16_t> pcm(2 * source.frames);
        if (!source.read(source.context, 0, source.frames, pcm.data())) return read_failed;
        const RateInMemory rate{pcm, tuned};
        Trial low{lowest, rate(lowest)}, high{highest, rate(highest)};
        out_quality = static_cast<float>(search(rate, kbps, low, high).quality);
        return {};
    }

    // Stretches spread evenly over the piece, joined into one: the joins
    // cost a little, alike for every quality.
    const auto stretch = static_cast<std::size_t>(kStretchSeconds * kSampleRate);
    std::vector<std::int16_t> sample(2 * stretch * kStretches);
    for (int s = 0; s < kStretches; ++s) {
        const std::uint64_t start =
            (source.frames - stretch) * static_cast<std::uint64_t>(s) / (kStretches - 1);
        if (!source.read(source.context, start, stretch, sample.data() + 2 * stretch * s))
            return read_failed;
    }
    const RateInMemory sample_rate{sample, tuned};
    Trial low{lowest, sample_rate(lowest)}, high{highest, sample_rate(highest)};
    const Trial guess = search(sample_rate, kbps, low, high);

    // Checked on the whole piece, read again piece by piece; where the
    // stretches misjudged it, the quality is corrected along the rate's
    // slope in the last bracket, at most twice.
    std::vector<std::int16_t> chunk(2 * kChunkFrames);
    bool reads_ok = true;
    const auto whole_rate = [&](double q) {
        FileSize size(options_at(q, tuned));
        for (std::uint64_t first = 0; first < source.frames && reads_ok; first += kChunkFrames) {
            const auto count = static_cast<std::size_t>(
                std::min<std::uint64_t>(kChunkFrames, source.frames - first));
            reads_ok = source.read(source.context, first, count, chunk.data());
            size.push(chunk.data(), count);
        }
        return size.kbps(source.frames);
    };
    Trial best{guess.quality, whole_rate(guess.quality)};
    double slope = 1.0;
    if (high.quality > low.quality && high.kbps > low.kbps)
        slope = std::log(high.kbps / low.kbps) / std::log(high.quality / low.quality);
    slope = std::clamp(slope, 0.2, 5.0);
    Trial last = best;
    for (int round = 0; round < 2 && reads_ok && std::fabs(last.kbps / kbps - 1.0) > 2.0 * kClose;
         ++round) {
        const double q =
            std::clamp(last.quality * std::pow(kbps / last.kbps, 1.0 / slope), lowest, highest);
        last = Trial{q, whole_rate(q)};
        if (std::fabs(last.kbps - kbps) < std::fabs(best.kbps - kbps)) best = last;
    }
    if (!reads_ok) return read_failed;
    out_quality = static_cast<float>(best.quality);
    return {};
}

Result quality_for_bitrate(const std::int16_t* pcm, std::size_t frames, double kbps, bool tuned,
                           float& out_quality) {
    MemoryPcm memory{pcm};
    const RandomAccessPcm source{pcm == nullptr ? 0 : frames, &memory, MemoryPcm::read};
    return quality_for_bitrate(source, kbps, tuned, out_quality);
}

}  // namespace x91
