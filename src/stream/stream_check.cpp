#include "stream/stream_check.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "stream/file_scan.h"
#include "stream/stream_parser.h"

namespace x91 {

namespace {

const Result kReadFailed{Status::read_failed, "read failed"};

// What reading the file found, for the verdict.
struct Findings {
    Result header;
    Result walk;               // the first damaged packet, or how the walk ended
    std::uint64_t frames = 0;  // decoded before the first damage
    Result block;              // ok, no_extension, extension_damaged, extension_unknown
    StreamInfo info;
    StreamTail tail;
};

// Parses and decodes the whole file; false when the source failed.
class Reading {
  public:
    Reading(ByteSource& source, FileLayout layout, const DecodeThreads& threads)
        : source_(source), parser_(std::move(layout)), threads_(threads) {}

    bool run(Findings& found) {
        std::vector<std::uint8_t> chunk(std::size_t{64} << 10);
        for (;;) {
            const StreamParser::Step step = parser_.next();
            if (step == StreamParser::Step::ended) break;
            if (step == StreamParser::Step::more) {
                const std::int64_t got = source_.read(chunk.data(), chunk.size());
                if (got < 0) return false;
                if (got == 0) parser_.end_input();
                if (got > 0) parser_.feed(chunk.data(), static_cast<std::size_t>(got));
                continue;
            }
            take(step, found);
        }
        found.header = parser_.header();
        if (found.walk.ok()) found.walk = parser_.walk();
        found.tail = parser_.tail();
        return true;
    }

  private:
    void take(StreamParser::Step step, Findings& found) {
        if (step == StreamParser::Step::header && parser_.settings()) {
            sequence_ = std::make_unique<PacketSequence>(*parser_.settings(), threads_);
        } else if (step == StreamParser::Step::packet && found.walk.ok()) {
            // Past the first damage only the CRC still counts.
            sequence_->push(parser_.packet().data(), parser_.packet().size());
        } else if (step == StreamParser::Step::walked && sequence_) {
            sequence_->finish();
        }
        PacketSequence::Decoded decoded;
        while (sequence_ && found.walk.ok() && sequence_->take(decoded)) {
            found.frames += decoded.pcm.size() / 2;
            if (!decoded.result)
                found.walk = {decoded.result.status, "packet " +
                                                         std::to_string(decoded.number + 1) +
                                                         " is damaged: " + decoded.result.message};
        }
    }

    ByteSource& source_;
    StreamParser parser_;
    DecodeThreads threads_;
    std::unique_ptr<PacketSequence> sequence_;
};

Result verdict_with_block(const Findings& f) {
    if (f.tail.crc && *f.tail.crc != f.info.stream_crc)
        return {Status::checksum_mismatch, "checksum mismatch"};
    if (!f.header) return f.header;
    if (f.tail.trailing > 0)
        return {Status::trailing_bytes,
                "the end marker does not stand right before the extension block"};
    if (!f.walk) return f.walk;
    if (f.frames < std::uint64_t{f.info.lead_in} + f.info.frames)
        return {Status::cut_short,
                "the packets hold fewer frames than the extension block gives the input"};
    return {};
}

Result verdict_without_block(const Findings& f) {
    if (!f.header) return f.header;
    if (!f.walk) return f.walk;
    if (f.block.status == Status::extension_unknown) return f.block;
    // A block whose footer is damaged is still told by its head.
    if (f.tail.trailing_starts_block)
        return {Status::extension_damaged, "checksum mismatch in the extension block"};
    if (f.block.status == Status::extension_damaged) return f.block;
    if (f.tail.trailing > 0)
        return {Status::trailing_bytes,
                std::to_string(f.tail.trailing) + " bytes follow the end marker"};
    return {Status::no_extension, ""};
}

}  // namespace

Result check_stream(ByteSource& source, const DecodeThreads& threads) {
    FileLayout layout;
    Findings found;
    const std::optional<std::uint64_t> size = source.size();
    if (size) {
        FileScan scan;
        // The check reads every packet in order: it needs no index.
        if (Result scanned = scan_file(source, *size, scan, false); !scanned) return scanned;
        if (!source.seek(0)) return kReadFailed;
        layout = scan.layout;
        found.block = scan.block;
        found.info = scan.layout.block;
    }
    Reading reading(source, layout, threads);
    if (!reading.run(found)) return kReadFailed;
    if (!size) {
        found.block = found.tail.block;
        found.info = found.tail.info;
    }
    return found.block ? verdict_with_block(found) : verdict_without_block(found);
}

}  // namespace x91
