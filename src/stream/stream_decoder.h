// One x91 stream decoded whole: its bytes pushed in pieces of any size
// (feed, end_input) or pulled from a ByteSource as reads need them, its
// packets decoded on one thread or several, and its audio delivered on the
// stream's timeline under the damage policy (stream/damage_policy.h).
//
// A source that tells its size is read at will: its extension block first,
// from the end, then its packets' counts (see FileScan), so that the exact
// length, the tags and every seek are known before the first packet is
// decoded. Any other input is read in one pass: the audio is decoded as it
// comes and held back only as far as the trim, which the block at the end
// gives, may still cut it (see AudioDelivery); memory stays bounded
// whatever the stream's length.
//
// Without a trim of its own, a decode gives exactly the input's frames when
// the block is intact (even when the bytes before it changed, which the CRC
// then tells), and every decoded frame otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "format/checked_settings.h"
#include "stream/audio_delivery.h"
#include "stream/byte_source.h"
#include "stream/damage_policy.h"
#include "stream/packet_index.h"
#include "stream/packet_sequence.h"
#include "stream/packet_timeline.h"
#include "stream/stream_info.h"
#include "stream/stream_parser.h"
#include "x91/status.h"

namespace x91 {

// A stream read in one pass holds its front back until it has more than
// this (about 47 s), and then its last two packets: see AudioDelivery.
inline constexpr std::uint64_t kFrontHoldFrames = std::uint64_t{1} << 21;

class StreamDecoder {
  public:
    // Bytes come with feed() and end_input(), read in one pass.
    StreamDecoder();
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // Bytes come from source, which must outlive the decoder. Reads the
    // header (and, for a source that tells its size, the block and the
    // counts): ok, or not_x91, cut_short, header_damaged, or read_failed
    // when the source fails.
    Result open(ByteSource& source);

    // For a file read at will whose bytes are cheap to read again (memory):
    // reads every byte before the block now, so that extension() tells the
    // CRC from the start. read_failed when the source fails.
    Result check_crc_now();

    // The next bytes of the stream (push form): ok, or the header's refusal
    // once its bytes are there, which every later call repeats.
    Result feed(const std::uint8_t* data, std::size_t size);
    Result end_input();

    // Before decoding begins (invalid_state after): the threads, a trim of
    // the caller's (replacing the block's), or a block the caller found.
    Result set_threads(const DecodeThreads& threads);
    Result trim(const Trim& trim);
    Result use_extension(const StreamInfo& info);

    // The header's settings, once read.
    const std::optional<CheckedSettings>& settings() const { return settings_; }
    bool seekable() const { return source_ != nullptr && layout_.size.has_value(); }

    // What the extension block tells: ok, no_extension, extension_damaged,
    // extension_unknown, or checksum_mismatch when it is intact and the
    // bytes before it are not those it was made for. A stream read in one
    // pass knows it at its end; a file read at will, its CRC once it was
    // read in order from its first packet to its end marker.
    const Result& extension() const { return extension_; }
    const StreamInfo& info() const { return info_; }
    const PacketTimeline& timeline() const { return timeline_; }

    // Frames the whole stream delivers: known ahead for a file read at
    // will; in one pass, those delivered so far, all of them at the end.
    std::uint64_t length() const;
    std::uint64_t position() const { return position_; }
    // Every frame was read, and the outcome that ended the stream told.
    bool ended() const { return delivery_.finished(); }
    // The frames (X91_BLOCK_FRAMES times frames per packet each) and bytes
    // of the packets decoded so far.
    std::uint64_t packets_decoded() const { return packets_; }
    std::uint64_t packet_bytes() const { return packet_bytes_; }

    // Up to max_frames frames of the stream into pcm (see
    // AudioDelivery::take). In push form a read gives 0 frames and ok when it
    // needs more bytes; ended() tells the end.
    Result read(std::int16_t* pcm, std::size_t max_frames, std::size_t& frames);

    // Moves the read position to `frame` (past the end: to the end); a file
    // read at will only. What is read from there equals a decode from the
    // start.
    Result seek(std::uint64_t frame);

  private:
    Result take_header();
    void start_decoding();
    void pump();
    bool take_decoded();
    bool walk_step(bool& need_input);
    void pull_input();
    void finish();

    ByteSource* source_ = nullptr;
    FileLayout layout_;
    PacketIndex index_;
    std::unique_ptr<StreamParser> parser_;
    bool header_read_ = false;
    Result header_;
    std::optional<CheckedSettings> settings_;
    DecodeThreads threads_;
    std::unique_ptr<PacketSequence> sequence_;
    AudioDelivery delivery_;
    DamagePolicy policy_;
    PacketTimeline timeline_{1};
    Result extension_{Status::no_extension, ""};
    StreamInfo info_;
    std::optional<Trim> own_trim_;
    bool block_given_ = false;
    bool started_ = false;
    bool input_ended_ = false;
    bool walk_done_ = false;
    bool tail_done_ = false;
    bool finished_ = false;
    PacketSequence::Decoded decoded_;
    Result walk_;
    Result io_failure_;
    std::uint64_t read_at_ = 0;  // of the source, for a file read at will
    bool seek_needed_ = false;
    std::vector<std::uint8_t> chunk_;
    std::uint64_t position_ = 0;
    std::uint64_t packets_ = 0;
    std::uint64_t packet_bytes_ = 0;
};

}  // namespace x91
