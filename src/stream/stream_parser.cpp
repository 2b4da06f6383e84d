#include "stream/stream_parser.h"

#include <algorithm>
#include <string>

#include "format/crc32.h"
#include "format/extension_block.h"
#include "format/limits.h"
#include "format/packet_framing.h"
#include "format/settings_io.h"

namespace x91 {

namespace {

// The tail keeps this much beyond the largest block before it gives its
// oldest bytes up, so that they go in pieces rather than byte by byte.
constexpr std::size_t kTailSlack = std::size_t{1} << 20;

std::string packet_name(std::uint64_t number) {
    return "packet " + std::to_string(number + 1);
}

}  // namespace

StreamParser::StreamParser(FileLayout layout) : layout_(std::move(layout)) {}

void StreamParser::consume(std::size_t n) {
    pos_ += n;
    offset_ += n;
}

// Only bytes before the block count: with its start known, a damaged count
// may have walked into it.
void StreamParser::add_to_crc(const std::uint8_t* data, std::size_t n, std::uint64_t at) {
    if (layout_.block_start) {
        if (at >= *layout_.block_start) return;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, *layout_.block_start - at));
    }
    crc_ = crc32_update(crc_, data, n);
}

// In one pass the last bytes the walk took are kept too: damage may have
// made it walk into the block, which is then found across both.
void StreamParser::take_walk_bytes(const std::uint8_t* data, std::size_t n) {
    add_to_crc(data, n, offset_);
    if (layout_.size) return;
    recent_.insert(recent_.end(), data, data + n);
    if (recent_.size() > 2 * kRecentBytes) {
        const std::size_t drop = recent_.size() - kRecentBytes;
        crc_before_recent_ = crc32_update(crc_before_recent_, recent_.data(), drop);
        recent_.erase(recent_.begin(), recent_.begin() + static_cast<std::ptrdiff_t>(drop));
    }
}

void StreamParser::feed(const std::uint8_t* data, std::size_t size) {
    if (packet_bytes_ > 0) {
        consume(packet_bytes_);
        packet_bytes_ = 0;
    }
    packet_ = {};
    if (size == 0 || input_ended_) return;
    if (phase_ == Phase::tail || phase_ == Phase::ended) {
        take_into_tail(data, size);
        return;
    }
    // What was taken goes before the new bytes come in.
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos_));
    pos_ = 0;
    buffer_.insert(buffer_.end(), data, data + size);
}

void StreamParser::end_input() {
    input_ended_ = true;
}

StreamParser::Step StreamParser::next() {
    if (packet_bytes_ > 0) {
        consume(packet_bytes_);
        packet_bytes_ = 0;
    }
    packet_ = {};
    if (walked_) {
        walked_ = false;
        return Step::walked;
    }
    switch (phase_) {
        case Phase::header:
            return read_header();
        case Phase::count:
            return read_count();
        case Phase::packet:
            return read_packet();
        case Phase::tail:
            if (!input_ended_) return Step::more;
            finish_tail();
            return Step::ended;
        case Phase::ended:
            break;
    }
    return Step::ended;
}

StreamParser::Step StreamParser::read_header() {
    if (held() < kHeaderBytes && !input_ended_) return Step::more;
    const std::size_t n = std::min(held(), kHeaderBytes);
    header_ = parse_x91_header(buffer_.data() + pos_, n, settings_);
    take_walk_bytes(buffer_.data() + pos_, n);
    consume(n);
    if (header_) {
        phase_ = Phase::count;
    } else {
        walked_ = true;
        end_walk(header_);
    }
    return Step::header;
}

StreamParser::Step StreamParser::read_count() {
    if (held() < kPacketCountBytes) {
        if (!input_ended_) return Step::more;
        return end_walk({Status::cut_short, "ends without its end marker"});
    }
    const std::int32_t count = packet_count_from(buffer_.data() + pos_);
    take_walk_bytes(buffer_.data() + pos_, kPacketCountBytes);
    consume(kPacketCountBytes);
    if (count == kEndMarker) return end_walk({});
    const std::string which = packet_name(next_packet_);
    if (count < 0)
        return end_walk({Status::packet_too_large,
                         which + " has a negative byte count, " + std::to_string(count)});
    const bool too_large = count > kMaxPacketCount;
    const bool beyond_file =
        layout_.size &&
        (offset_ > *layout_.size || static_cast<std::uint64_t>(count) > *layout_.size - offset_);
    if (too_large || beyond_file)
        return end_walk(
            {too_large ? Status::packet_too_large : Status::cut_short,
             which + " claims " + std::to_string(count) + " bytes, more than the file holds"});
    count_ = static_cast<std::uint32_t>(count);
    phase_ = Phase::packet;
    return read_packet();
}

StreamParser::Step StreamParser::read_packet() {
    if (held() < count_) {
        if (!input_ended_) return Step::more;
        // A file of known size ends early only when it changed under the
        // reader; otherwise the count claimed more than the file holds.
        const std::string which = packet_name(next_packet_);
        return end_walk({Status::cut_short, layout_.size
                                                ? which + " is cut short"
                                                : which + " claims " + std::to_string(count_) +
                                                      " bytes, more than the file holds"});
    }
    packet_ = {buffer_.data() + pos_, count_};
    take_walk_bytes(packet_.data(), count_);
    packet_bytes_ = count_;
    packet_number_ = next_packet_++;
    phase_ = Phase::count;
    return Step::packet;
}

StreamParser::Step StreamParser::end_walk(Result result) {
    walk_ = std::move(result);
    walk_end_ = offset_;
    phase_ = Phase::tail;
    // Whatever the walk held and did not take is the start of the tail.
    const std::size_t rest = held();
    const std::vector<std::uint8_t> leftover(buffer_.begin() + static_cast<std::ptrdiff_t>(pos_),
                                             buffer_.end());
    buffer_.clear();
    pos_ = 0;
    if (rest > 0) take_into_tail(leftover.data(), leftover.size());
    return walked_ ? Step::header : Step::walked;
}

void StreamParser::abandon_walk() {
    if (phase_ == Phase::count || phase_ == Phase::packet || phase_ == Phase::header) {
        end_walk(walk_);
        walked_ = false;
    }
}

void StreamParser::restart_at(std::uint64_t packet, std::uint64_t offset) {
    buffer_.clear();
    pos_ = 0;
    offset_ = offset;
    packet_bytes_ = 0;
    packet_ = {};
    input_ended_ = false;
    walked_ = false;
    walk_ = {};
    next_packet_ = packet;
    phase_ = Phase::count;
    crc_valid_ = false;
    tail_bytes_.clear();
    tail_dropped_ = 0;
    tail_ = {};
}

void StreamParser::take_into_tail(const std::uint8_t* data, std::size_t n) {
    const std::uint64_t tail_at = walk_end_ + tail_dropped_ + tail_bytes_.size();
    for (std::size_t i = 0; i < 4 && tail_at + i < walk_end_ + 4 && i < n; ++i)
        tail_head_[tail_at - walk_end_ + i] = data[i];
    offset_ += n;
    if (layout_.block_start) {
        // The block was read from the end already: the tail only counts.
        add_to_crc(data, n, tail_at);
        tail_dropped_ += n;
        return;
    }
    tail_bytes_.insert(tail_bytes_.end(), data, data + n);
    if (tail_bytes_.size() > kMaxExtensionBytes + kTailSlack) {
        const std::size_t drop = tail_bytes_.size() - kMaxExtensionBytes;
        add_to_crc(tail_bytes_.data(), drop, 0);
        tail_bytes_.erase(tail_bytes_.begin(),
                          tail_bytes_.begin() + static_cast<std::ptrdiff_t>(drop));
        tail_dropped_ += drop;
    }
}

void StreamParser::finish_tail() {
    phase_ = Phase::ended;
    std::optional<std::uint64_t> block_start;
    if (layout_.block_start) {
        tail_.block = {};
        tail_.info = layout_.block;
        block_start = layout_.block_start;
    } else {
        block_start = find_block_at_end();
    }
    const std::uint64_t tail_end = block_start ? std::max(*block_start, walk_end_) : offset_;
    tail_.trailing = tail_end - walk_end_;
    tail_.trailing_starts_block = tail_.trailing >= 4 && starts_extension_block(tail_head_, 4);
    if (crc_valid_) tail_.crc = crc_;
    tail_bytes_.clear();
    tail_bytes_.shrink_to_fit();
    recent_.clear();
    recent_.shrink_to_fit();
}

// The block at the end of a stream read in one pass, in the tail or, when
// the tail holds all bytes since the walk ended, across the walk's last
// bytes and the tail. Completes the CRC of every byte before it.
std::optional<std::uint64_t> StreamParser::find_block_at_end() {
    std::vector<std::uint8_t> joined;
    const std::uint8_t* last = tail_bytes_.data();
    std::size_t size = tail_bytes_.size();
    if (tail_dropped_ == 0 && !recent_.empty()) {
        joined = recent_;
        joined.insert(joined.end(), tail_bytes_.begin(), tail_bytes_.end());
        last = joined.data();
        size = joined.size();
    }
    std::uint64_t block_bytes = 0;
    tail_.block = find_extension(last, size, offset_, block_bytes, tail_.info);
    if (!tail_.block) {
        add_to_crc(tail_bytes_.data(), tail_bytes_.size(), 0);
        return std::nullopt;
    }
    const std::uint64_t start = offset_ - block_bytes;
    if (start >= walk_end_) {
        add_to_crc(tail_bytes_.data(), static_cast<std::size_t>(start - walk_end_ - tail_dropped_),
                   0);
    } else {
        // The walk took the block's first bytes into the CRC: it is taken
        // again from before the bytes kept.
        const std::uint64_t recent_start = walk_end_ - recent_.size();
        crc_ = crc32_update(crc_before_recent_, recent_.data(),
                            static_cast<std::size_t>(start - recent_start));
    }
    return start;
}

}  // namespace x91
