#include "stream/stream_decoder.h"

#include <algorithm>

#include "format/crc32.h"
#include "format/limits.h"
#include "stream/file_scan.h"

namespace x91 {

namespace {

// Bytes pulled from a source at a time.
constexpr std::size_t kChunkBytes = std::size_t{64} << 10;

const Result kDecodingBegan{Status::invalid_state, "decoding began"};

}  // namespace

StreamDecoder::StreamDecoder() : parser_(std::make_unique<StreamParser>()) {}
StreamDecoder::~StreamDecoder() = default;

Result StreamDecoder::open(ByteSource& source) {
    source_ = &source;
    chunk_.resize(kChunkBytes);
    if (const std::optional<std::uint64_t> size = source.size()) {
        FileScan scan;
        if (Result scanned = scan_file(source, *size, scan); !scanned) return scanned;
        if (!scan.header) return header_ = scan.header;
        layout_ = scan.layout;
        index_ = scan.index;
        extension_ = scan.block;
        if (extension_) info_ = layout_.block;
        parser_ = std::make_unique<StreamParser>(layout_);
        seek_needed_ = true;
        settings_ = scan.settings;
        header_ = {};
        header_read_ = true;
        timeline_ = PacketTimeline(settings_->dsettings().group.frames);
        if (extension_) {
            const Trim block{info_.lead_in, info_.frames};
            delivery_.trim(block);
            timeline_.trim(block.lead_in, block.frames);
        }
        return {};
    }
    // One pass: the header is pulled in, the rest waits for the first read.
    for (;;) {
        if (parser_->next() == StreamParser::Step::header) return take_header();
        pull_input();
        if (!io_failure_.ok()) return io_failure_;
    }
}

Result StreamDecoder::check_crc_now() {
    if (!seekable() || !layout_.block_start || !extension_) return {};
    const Result failed{Status::read_failed, "read failed"};
    if (!source_->seek(0)) return failed;
    std::uint32_t crc = 0;
    for (std::uint64_t at = 0; at < *layout_.block_start;) {
        const auto want = static_cast<std::size_t>(
            std::min<std::uint64_t>(chunk_.size(), *layout_.block_start - at));
        const std::int64_t got = source_->read(chunk_.data(), want);
        if (got <= 0) return failed;
        crc = crc32_update(crc, chunk_.data(), static_cast<std::size_t>(got));
        at += static_cast<std::uint64_t>(got);
    }
    seek_needed_ = true;
    if (crc != info_.stream_crc) extension_ = {Status::checksum_mismatch, "checksum mismatch"};
    return {};
}

Result StreamDecoder::take_header() {
    header_read_ = true;
    header_ = parser_->header();
    settings_ = parser_->settings();
    if (!header_) return header_;
    const int frames_per_packet = settings_->dsettings().group.frames;
    timeline_ = PacketTimeline(frames_per_packet);
    if (own_trim_) {
        timeline_.trim(own_trim_->lead_in, own_trim_->frames);
    } else {
        // The padding the encoder adds stays within two packets.
        const std::uint64_t tail = 2 * static_cast<std::uint64_t>(frames_per_packet) * kBlockFrames;
        delivery_.hold(kFrontHoldFrames, tail, kBlockFrames);
    }
    return header_;
}

Result StreamDecoder::feed(const std::uint8_t* data, std::size_t size) {
    if (header_read_ && !header_) return header_;
    if (input_ended_) return {Status::invalid_state, "bytes after the end of the input"};
    parser_->feed(data, size);
    if (!header_read_ && parser_->next() == StreamParser::Step::header) return take_header();
    return {};
}

Result StreamDecoder::end_input() {
    if (!input_ended_) {
        input_ended_ = true;
        parser_->end_input();
        if (!header_read_ && parser_->next() == StreamParser::Step::header) return take_header();
    }
    return header_read_ ? header_ : Result{};
}

Result StreamDecoder::set_threads(const DecodeThreads& threads) {
    if (started_) return kDecodingBegan;
    threads_ = threads;
    return {};
}

Result StreamDecoder::trim(const Trim& trim) {
    if (started_) return kDecodingBegan;
    own_trim_ = trim;
    delivery_.trim(trim);
    timeline_.trim(trim.lead_in, trim.frames);
    return {};
}

Result StreamDecoder::use_extension(const StreamInfo& info) {
    if (started_) return kDecodingBegan;
    info_ = info;
    extension_ = {};
    block_given_ = true;
    return trim({info.lead_in, info.frames});
}

std::uint64_t StreamDecoder::length() const {
    if (seekable()) return timeline_.stream_frames(index_.packets());
    return delivery_.delivered() + delivery_.held_frames();
}

void StreamDecoder::start_decoding() {
    started_ = true;
    if (!sequence_ && settings_) sequence_ = std::make_unique<PacketSequence>(*settings_, threads_);
}

Result StreamDecoder::read(std::int16_t* pcm, std::size_t max_frames, std::size_t& frames) {
    frames = 0;
    if (!settings_) return header_read_ ? header_ : Result{};
    start_decoding();
    pump();
    Result outcome = delivery_.take(pcm, max_frames, frames);
    position_ += frames;
    return outcome;
}

void StreamDecoder::pump() {
    while (!delivery_.ready() && !finished_) {
        if (take_decoded()) continue;
        bool need_input = false;
        if (walk_step(need_input)) continue;
        if (need_input) {
            if (source_ == nullptr) return;  // push form: the caller brings more
            pull_input();
            continue;
        }
        finish();
    }
}

bool StreamDecoder::take_decoded() {
    if (!sequence_ || !sequence_->take(decoded_)) return false;
    ++packets_;
    packet_bytes_ += decoded_.bytes;
    Result outcome = policy_.weigh(decoded_.number, decoded_.result);
    // The audio stays with the decoder until it is read, unless the decoder
    // goes now.
    const auto keep = policy_.stopped() ? AudioDelivery::Keep::copy : AudioDelivery::Keep::borrow;
    delivery_.add(decoded_.raw_start, decoded_.pcm, std::move(outcome), keep);
    if (policy_.stopped()) {
        // Packets decoded ahead of the stop are dropped with their decoder,
        // so the output ends where one thread's would.
        sequence_.reset();
        parser_->abandon_walk();
        walk_done_ = true;
    }
    return true;
}

// One step of the parser; false when it needs input (need_input) or has
// nothing more to give.
bool StreamDecoder::walk_step(bool& need_input) {
    if (!io_failure_.ok()) return false;
    // After the walk, the tail is read to the end: for the block, in one
    // pass, and for the CRC.
    if (walk_done_ && tail_done_) return false;
    switch (parser_->next()) {
        case StreamParser::Step::packet:
            sequence_->push(parser_->packet().data(), parser_->packet().size());
            return true;
        case StreamParser::Step::header:
            return true;  // a file read at will is read again from its start
        case StreamParser::Step::walked:
            walk_done_ = true;
            walk_ = parser_->walk();
            if (sequence_) sequence_->finish();
            return true;
        case StreamParser::Step::ended:
            tail_done_ = true;
            return false;
        case StreamParser::Step::more:
            need_input = !input_ended_;
            return false;
    }
    return false;
}

void StreamDecoder::pull_input() {
    if (input_ended_) return;
    std::size_t want = chunk_.size();
    if (seekable()) {
        if (read_at_ >= *layout_.size) {
            input_ended_ = true;
            parser_->end_input();
            return;
        }
        want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *layout_.size - read_at_));
        if (seek_needed_ && !source_->seek(read_at_)) {
            io_failure_ = {Status::read_failed, "read failed"};
            return;
        }
        seek_needed_ = false;
    }
    const std::int64_t got = source_->read(chunk_.data(), want);
    if (got < 0) io_failure_ = {Status::read_failed, "read failed"};
    if (got <= 0) {
        input_ended_ = true;
        parser_->end_input();
        return;
    }
    parser_->feed(chunk_.data(), static_cast<std::size_t>(got));
    read_at_ += static_cast<std::uint64_t>(got);
}

void StreamDecoder::finish() {
    finished_ = true;
    Result ended_with;
    // Damage the walk met behind a stop is never reached, as with one
    // thread, where the walk would not have gone on.
    if (!io_failure_.ok()) {
        ended_with = io_failure_;
    } else if (!walk_.ok() && !policy_.stopped()) {
        ended_with = walk_;
    }
    if (tail_done_ && io_failure_.ok()) {
        const StreamTail& tail = parser_->tail();
        if (!seekable() && !block_given_) {
            extension_ = tail.block;
            if (extension_) info_ = tail.info;
        }
        if (extension_ && tail.crc && *tail.crc != info_.stream_crc)
            extension_ = {Status::checksum_mismatch, "checksum mismatch"};
        // A block whose footer did not lead to it, behind the end marker.
        if (extension_.status == Status::no_extension && walk_.ok() && tail.trailing_starts_block)
            extension_ = {Status::extension_damaged, "checksum mismatch in the extension block"};
    }
    std::optional<Trim> block_trim;
    const bool intact = extension_.ok() || extension_.status == Status::checksum_mismatch;
    if (!own_trim_ && intact) block_trim = Trim{info_.lead_in, info_.frames};
    delivery_.end(block_trim, std::move(ended_with));
    if (block_trim && !seekable()) timeline_.trim(block_trim->lead_in, block_trim->frames);
}

Result StreamDecoder::seek(std::uint64_t frame) {
    if (!seekable()) return {Status::invalid_state, "seek needs a stream that can be read at will"};
    start_decoding();
    const std::uint64_t target = std::min(frame, length());
    const std::uint64_t packet = timeline_.restart_packet(target);
    std::uint64_t offset = 0;
    if (Result found = packet_offset(*source_, index_, packet, offset); !found) return found;
    parser_->restart_at(packet, offset);
    if (!sequence_) start_decoding();
    if (sequence_) sequence_->restart(packet);
    delivery_.restart(target);
    policy_.reset();
    read_at_ = offset;
    seek_needed_ = true;
    input_ended_ = false;
    walk_done_ = false;
    tail_done_ = false;
    finished_ = false;
    walk_ = {};
    io_failure_ = {};
    position_ = target;
    return {};
}

}  // namespace x91
