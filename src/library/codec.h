// The x91 codec as C++ classes: CD audio in, x91 packets out, and back.
// The command uses them directly; programs outside use the C interface in
// include/x91/x91.h, which is built on them.
//
// An x91 file is the 62-byte header (Header::bytes()), then each packet as a
// little-endian int32 byte count followed by its bytes, then a count of 0.
// An extension block may follow that count: the exact length of the input,
// its tags and a CRC-32 of every byte before the block. Decoders that stop
// at the count of 0 never see it.
// The Encoder turns interleaved 16-bit stereo PCM at 44100 Hz into packets;
// the Decoder turns packets back into PCM. Bad input is reported through
// Status values, never through exceptions; only running out of memory throws.
//
// Threads: each Encoder and Decoder is used from one thread at a time;
// different ones may be used on different threads at once. The first one
// built also builds the codec's shared transform tables, which then stay
// until the process ends. Given more than one thread (Threading), an object
// also works on helper threads of its own, which it stops when destroyed;
// its output is byte for byte that of one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "x91/status.h"

namespace x91 {

inline constexpr int kSampleRate = 44100;
inline constexpr int kChannels = 2;
// The codec works on blocks of this many stereo frames (1/50 s).
inline constexpr int kBlockFrames = 882;
inline constexpr std::size_t kHeaderBytes = 62;
// The largest packet a decoder accepts. The encoder's packets stay far below
// it (loud noise at the highest quality gives about 12 KB); a larger count
// can only come from a damaged file, and refusing it keeps a decoder, which
// holds a packet while copying it in, well under 16 MiB.
inline constexpr std::size_t kMaxPacketBytes = std::size_t{4} << 20;

// The library's version, e.g. "0.1.0".
const char* version();

// How an Encoder or Decoder shares its work among threads.
//
// With more than one thread, the stream is cut into runs of whole packets;
// each run is coded on its own by the next thread free, after a short
// warm-up on the data just before it, and the runs are joined in order. The
// calls then hand the work on instead of doing it: output comes in whole
// runs, later than its input, and all of it once the stream is finished.
// Memory grows with threads x run length, never with the stream: at most
// 2 x threads + 2 runs are held at once, each with its input and output (3528
// bytes of PCM per block, 0.9 MB for a run of 256 blocks), and one coding
// chain per thread; the output not yet taken comes on top, as with one
// thread.
struct Threading {
    // Threads working on the stream, the caller's included, 1 to
    // kMaxThreads. With 1 (the default) every call does its work before it
    // returns and no thread is started.
    int threads = 1;
    // Packets per run, 0 to kMaxRunPackets; 0 lets the library choose runs
    // of about kEncodeRunBlocks or kDecodeRunBlocks blocks, at least a
    // packet. Longer runs spend less on warm-ups and hold more memory.
    int run_packets = 0;
};
inline constexpr int kMaxThreads = 256;
inline constexpr int kMaxRunPackets = 4096;
// Encoding warms up on one block, decoding on most of a packet, so decoding
// runs are longer: 2.56 s and 5.12 s of audio.
inline constexpr int kEncodeRunBlocks = 128;
inline constexpr int kDecodeRunBlocks = 256;

// The processors this process may run on (its CPU affinity), at least 1:
// the number of threads that keeps each of them busy.
int available_threads();

// The x91 file header as a value: every setting the decoder needs, as
// stored in each file. A default Header holds the codec's defaults.
struct Header {
    std::uint8_t features[3];  // reserved, 0
    std::int32_t lines;        // spectral lines coded per channel (800)
    std::int32_t intensity_bands;
    std::int32_t intensity_steps;
    std::int32_t level_range;
    std::int32_t side_stereo_bands;
    std::int32_t side_stereo_levels;
    std::int32_t frames_per_packet;  // blocks per packet (16)
    float masking_level;             // lower values give larger, more faithful files
    float masking_downward;
    float masking_upward;
    float masking_reserved[3];
    float quantizer_base;

    Header();

    // Rescales the two quality settings by percent (10 to 400; 100 leaves
    // them): the masking level is divided by percent/100 and the quantiser
    // base raised to the power 100/percent. Applied to a default Header this
    // is what the x91 command's quality does. invalid_argument, and no
    // change, outside the range.
    Result apply_quality(float percent);

    // ok when a decoder can run with these settings; header_damaged names the
    // first value it cannot.
    Result check() const;

    // The 62 header bytes that start an x91 file.
    std::vector<std::uint8_t> bytes() const;

    // Reads and checks the header at the start of data. On ok, out holds it
    // and the packets start kHeaderBytes into data; otherwise out is left as
    // it was (not_x91, cut_short or header_damaged).
    static Result parse(const std::uint8_t* data, std::size_t size, Header& out);
};

// Appends a packet to an x91 file being built in memory: its byte count as a
// little-endian int32, then its bytes.
void append_packet(std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& packet);
// Appends the count of 0 that ends an x91 file.
void append_end(std::vector<std::uint8_t>& file);

// A tag of the input: a NAME of printable ASCII without '=' (TITLE, ARTIST,
// ...; players compare names without regard to case) and a UTF-8 VALUE, as
// in the Vorbis comments of FLAC files.
struct Tag {
    std::string name;
    std::string value;
};

// What the extension block of an x91 file tells.
struct StreamInfo {
    std::uint64_t frames = 0;   // sample frames of the input: an exact decode's length
    std::uint32_t lead_in = 0;  // decoded frames before the first input frame (882)
    std::vector<Tag> tags;
    std::uint32_t stream_crc = 0;  // CRC-32 of every byte of the file before the block
};

// The extension block ends with a footer of this size, so that a reader
// finds the block with one seek from the end of the file.
inline constexpr std::size_t kExtensionFooterBytes = 12;
// No block is larger; a reader may refuse to allocate more.
inline constexpr std::size_t kMaxExtensionBytes = std::size_t{16} << 20;

// The CRC-32 of zlib and PNG: continues crc over size more bytes (start with 0).
std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

// footer: the last kExtensionFooterBytes bytes of an x91 file. ok with the
// size of the extension block that ends the file (footer included);
// no_extension when the file has none; extension_damaged for a size no
// block can have.
Result extension_size(const std::uint8_t* footer, std::uint64_t& block_bytes);

// block: the last block_bytes bytes of the file. ok with info filled;
// extension_unknown for a block of a later version, extension_damaged for
// one whose own CRC or fields are wrong. info is left as it was unless ok.
Result parse_extension(const std::uint8_t* block, std::size_t size, StreamInfo& info);

// An x91 file held whole in memory: finds its extension block, reads it and
// checks the CRC of everything before it. ok; no_extension; extension_damaged
// or extension_unknown; or checksum_mismatch with info filled from the block,
// which is intact while the header or packets are not.
Result read_stream_info(const std::uint8_t* file, std::size_t size, StreamInfo& info);

// Walks the packets of an x91 file held in memory, from just behind its
// header. The file's bytes must stay valid and unchanged while it is used.
class PacketReader {
  public:
    // size counts the whole file, the header included.
    PacketReader(const std::uint8_t* file, std::size_t size);
    ~PacketReader();
    PacketReader(PacketReader&&) noexcept;
    PacketReader& operator=(PacketReader&&) noexcept;
    PacketReader(const PacketReader&) = delete;
    PacketReader& operator=(const PacketReader&) = delete;

    // Moves the next packet into packet: ok with its bytes, or ok with no
    // bytes at the end marker. Otherwise the damage found there, named with
    // the packet's number: cut_short ("packet 3 is cut short", "ends
    // without its end marker", ...) or packet_too_large ("packet 3 has a
    // negative byte count, -16", ...).
    Result next(std::vector<std::uint8_t>& packet);

    // Bytes of the file read so far, the header's included: just behind the
    // end marker once next() has found it.
    std::size_t offset() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Choices of the tuned encoder. They change which values the encoder sends,
// never the format, so every decoder reads its files.
struct TunedChoices {
    // Squared error, in units of the masking curve, that one bit is worth:
    // each index is chosen for the least error + rate_weight * bits (0 to 100).
    float rate_weight = 0.06f;
};

// How an Encoder is built: the settings stored in the file, and whether the
// tuned encoder or the specified one chooses what to send.
struct EncoderOptions {
    Header header;
    bool tuned = false;
    TunedChoices tuning;
};

// The tuned mode at a quality percentage (10 to 400; 100 is the default):
// header settings and choices tuned for quality per bit with PEAQ on music
// and speech. invalid_argument, and out unchanged, outside the range.
Result tuned_options(float percent, EncoderOptions& out);

// Audio that the bit-rate search reads in stretches, in any order and as
// often as it needs: read(context, first, count, out) puts the frames first
// to first + count - 1 into out (interleaved, left first) and returns false
// when it cannot.
struct PcmSource {
    std::uint64_t frames = 0;
    void* context = nullptr;
    bool (*read)(void* context, std::uint64_t first, std::size_t count,
                 std::int16_t* out) = nullptr;
};

// The options of the specified encoder (tuned false: a default Header at a
// quality, see apply_quality) or of the tuned one (tuned_options) at the
// quality whose encode of the source averages kbps kilobits per second: the
// x91 file's size over the audio's length. A piece of 30 s or more lands
// within 5% unless the rate lies beyond what qualities 10 to 400 give, where
// the nearest end is taken. invalid_argument for a rate that is not positive
// and finite or a source without frames, read_failed when a read fails; out
// is then unchanged.
Result options_for_bitrate(const PcmSource& source, double kbps, bool tuned, EncoderOptions& out);
// The same for audio in memory: frames interleaved stereo frames at pcm.
Result options_for_bitrate(const std::int16_t* pcm, std::size_t frames, double kbps, bool tuned,
                           EncoderOptions& out);

// Encodes one stream. Push PCM in any amounts, take packets as they are
// ready, call finish() at the end of the audio, then take the last packets.
class Encoder {
  public:
    // status() is invalid_argument when the settings are not usable (check(),
    // and at most 882 lines, the number the transform gives) or the
    // threading is not.
    explicit Encoder(const Header& header = Header(), const Threading& threading = Threading());
    // The same, and invalid_argument for tuned choices out of range. The
    // tuned encoder compares each frame's levels with the frame before, so
    // it always works on one chain: threading only checks its values there.
    explicit Encoder(const EncoderOptions& options, const Threading& threading = Threading());
    ~Encoder();
    Encoder(Encoder&&) noexcept;
    Encoder& operator=(Encoder&&) noexcept;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    const Result& status() const;
    const Header& header() const;

    // Interleaved samples, left first: 2 * frames values. With threads, it
    // waits (working on runs) while as many runs are held as allowed.
    Result push(const std::int16_t* samples, std::size_t frames);

    // Ends the stream: pads it with silence so that every pushed sample
    // reaches a packet. Decoding gives one block of silence, then every
    // pushed sample, then silence to the end of the last packet. With
    // threads, it returns when every packet is ready.
    Result finish();

    // Moves the oldest ready packet into packet; false when none is ready.
    bool next_packet(std::vector<std::uint8_t>& packet);

    std::uint64_t frames_pushed() const;

    // Tags for the extension block, replacing any given before; any time
    // before append_trailer(). invalid_argument, and no change, for a name
    // or a value a tag cannot have, or tags beyond the block's size.
    Result set_tags(const std::vector<Tag>& tags);

    // Ends the file once finish() ran and every packet was taken: appends the
    // end marker and the extension block. The block's CRC covers
    // header().bytes() and every packet as append_packet() writes it, so the
    // file must hold exactly those, in order. invalid_state before that
    // point. A file for decoders that want nothing after the end marker ends
    // with append_end() instead.
    Result append_trailer(std::vector<std::uint8_t>& file);

  private:
    struct Impl;
    explicit Encoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    friend struct EncoderAccess;
};

// Decodes one stream from its header's settings. A file of P packets gives
// 16·P − 1 blocks of 882 frames (with the default frames per packet): one
// lead-in block, the input one block late, and padding; trim() cuts that to
// the input.
class Decoder {
  public:
    // status() is header_damaged when the settings are not usable, and
    // invalid_argument when threading is not.
    explicit Decoder(const Header& header, const Threading& threading = Threading());
    ~Decoder();
    Decoder(Decoder&&) noexcept;
    Decoder& operator=(Decoder&&) noexcept;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    const Result& status() const;
    const Header& header() const;

    // Makes the decoder deliver exactly the input's frames: the first lead_in
    // decoded frames are dropped, and delivery ends after `frames` more (the
    // values of the file's StreamInfo). Without it the decoder delivers every
    // frame it decodes, lead-in and padding included. invalid_state once a
    // packet was pushed. The cut applies to what pull() and pull_packet()
    // hand out, on any number of threads alike.
    Result trim(std::uint32_t lead_in, std::uint64_t frames);

    // Takes one packet (its bytes, without the count), or packet_too_large
    // for none or more than kMaxPacketBytes. With one thread it is decoded
    // at once and the result is its own: packet_overrun and
    // packet_unread_bytes still deliver the audio decoded from it. With
    // more, it joins a run decoded later, and its own result comes with its
    // audio from pull_packet().
    Result push_packet(const std::uint8_t* data, std::size_t size);

    // Ends the stream. With threads, the packets of an unfinished run are
    // decoded from now on, and pull() and pull_packet() wait for the packets
    // still being decoded, so that every packet comes out. With one thread
    // there is nothing left to do. invalid_state when called twice.
    Result finish();

    // Appends the audio of every packet decoded so far (interleaved, left
    // first) to pcm and returns the number of frames appended.
    std::size_t pull(std::vector<std::int16_t>& pcm);

    // Points pcm at the audio of the oldest decoded packet not yet pulled
    // (interleaved, left first; valid until the decoder is next used) and
    // gives its result (ok, packet_overrun or packet_unread_bytes); false
    // when no decoded packet waits. A caller that stops at a damaged packet
    // gets the audio of the packets before it and of that one, no more.
    bool pull_packet(std::span<const std::int16_t>& pcm, Result& result);

    // Frames waiting for pull().
    std::size_t frames_ready() const;

  private:
    struct Impl;
    explicit Decoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    friend struct DecoderAccess;
};

}  // namespace x91
