// An x91 file taken apart as its bytes come, in pieces of any size in file
// order: the header, each packet behind its byte count, the end marker, and
// what follows it, where the extension block stands; with the CRC-32 of
// every byte before the block.
//
// The walk of the packets ends at the end marker or at the first damage: a
// count no packet can have, or the input ending inside a count or a packet.
// x91 has no sync words, so nothing behind damage can be told to be a
// packet. The bytes after the walk are still taken, to the end of the
// input: the extension block ends the file, whatever stands before it. Of
// them only the last kMaxExtensionBytes are held, and of the walk's own
// bytes the last 64 KiB or so (damage may have made it walk into the block),
// so memory stays bounded whatever the input holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "format/checked_settings.h"
#include "stream/stream_info.h"
#include "x91/status.h"

namespace x91 {

// What is known of a file before it is read: nothing for a stream read in
// one pass; for a file read at will, its size, and where its extension
// block starts when it was found intact from the end of the file.
struct FileLayout {
    std::optional<std::uint64_t> size;
    std::optional<std::uint64_t> block_start;
    StreamInfo block;  // with block_start: what it holds
};

// What followed the walk, once the input ended.
struct StreamTail {
    // ok with info, or no_extension, extension_damaged, extension_unknown.
    Result block{Status::no_extension, ""};
    StreamInfo info;
    // The CRC-32 of every byte before the block (of every byte without
    // one), when the file was read from its first byte on.
    std::optional<std::uint32_t> crc;
    // Bytes between the end of the walk and the block (the end, without one).
    std::uint64_t trailing = 0;
    // Those bytes begin with the head of an extension block: one that the
    // footer at the end of the file does not lead to.
    bool trailing_starts_block = false;
};

class StreamParser {
  public:
    explicit StreamParser(FileLayout layout = FileLayout());

    // The next bytes of the file; invalidates what packet() showed.
    void feed(const std::uint8_t* data, std::size_t size);
    // The file has no more bytes.
    void end_input();

    enum class Step {
        more,    // needs more bytes, or end_input()
        header,  // the header was read: header() tells how it went
        packet,  // packet() holds the next packet
        walked,  // the walk ended: walk() tells how; what follows is tail
        ended,   // the input ended and every byte was taken: see tail()
    };
    Step next();

    // ok, or not_x91, cut_short or header_damaged; settings() on ok.
    const Result& header() const { return header_; }
    const std::optional<CheckedSettings>& settings() const { return settings_; }

    // After Step::packet: its bytes, valid until the next call of any
    // member, and its number (packets count from 0).
    std::span<const std::uint8_t> packet() const { return packet_; }
    std::uint64_t packet_number() const { return packet_number_; }

    // After Step::walked: ok at the end marker, or the damage that ended it.
    const Result& walk() const { return walk_; }

    // Ends the walk here: every byte still to come is taken as tail. For a
    // decode that stopped, and that still wants the block.
    void abandon_walk();

    // Walks on from packet `packet`, whose count stands at byte `offset`,
    // forgetting the bytes held: for a file read at will, after a seek. The
    // CRC then no longer tells.
    void restart_at(std::uint64_t packet, std::uint64_t offset);

    // After Step::ended.
    const StreamTail& tail() const { return tail_; }

  private:
    enum class Phase { header, count, packet, tail, ended };

    std::size_t held() const { return buffer_.size() - pos_; }
    void consume(std::size_t n);
    void add_to_crc(const std::uint8_t* data, std::size_t n, std::uint64_t at);
    Step end_walk(Result result);
    Step read_header();
    Step read_count();
    Step read_packet();
    void take_walk_bytes(const std::uint8_t* data, std::size_t n);
    void take_into_tail(const std::uint8_t* data, std::size_t n);
    void finish_tail();
    std::optional<std::uint64_t> find_block_at_end();

    // The walk's last bytes kept in one pass: at least this many.
    static constexpr std::size_t kRecentBytes = std::size_t{64} << 10;

    FileLayout layout_;
    Phase phase_ = Phase::header;
    std::vector<std::uint8_t> buffer_;
    std::size_t pos_ = 0;           // the first byte of buffer_ not taken yet
    std::uint64_t offset_ = 0;      // of buffer_[pos_] in the file
    std::size_t packet_bytes_ = 0;  // set after Step::packet, taken at the next call
    bool input_ended_ = false;
    bool walked_ = false;  // Step::walked still to be told

    Result header_{Status::cut_short, ""};
    std::optional<CheckedSettings> settings_;
    std::span<const std::uint8_t> packet_;
    std::uint64_t packet_number_ = 0;
    std::uint64_t next_packet_ = 0;
    std::uint32_t count_ = 0;
    Result walk_;

    std::uint32_t crc_ = 0;
    bool crc_valid_ = true;
    std::uint64_t walk_end_ = 0;
    std::vector<std::uint8_t> recent_;      // the walk's last bytes, in one pass
    std::uint32_t crc_before_recent_ = 0;   // of every byte before them
    std::vector<std::uint8_t> tail_bytes_;  // the last bytes of the tail
    std::uint64_t tail_dropped_ = 0;        // tail bytes taken out of tail_bytes_
    std::uint8_t tail_head_[4] = {};
    StreamTail tail_;
};

}  // namespace x91
