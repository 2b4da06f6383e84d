/* x91, a lossy audio codec for CD audio (44100 Hz, 16-bit, stereo), as a C
 * library usable from C99 and C++.
 *
 * An x91 file is a 62-byte header, then packets, each a little-endian 32-bit
 * byte count followed by that many bytes, then a count of 0 (the end
 * marker). A packet holds X91_BLOCK_FRAMES * frames-per-packet sample
 * frames (16 blocks of 882 frames with the default settings). An extension
 * block may follow the end marker: the input's exact length, its tags
 * (NAME=VALUE) and a CRC-32 of every byte before the block. It ends with a
 * footer of X91_EXTENSION_FOOTER_BYTES, so a reader finds it with one seek
 * from the end of the file; decoders that stop at the end marker never see
 * it.
 *
 * Every call reports its outcome as an x91_status: X91_OK (0) or a negative
 * code; x91_status_text() names a code, and the handle's last_error call
 * gives the details of its most recent failure. No call throws, aborts on bad
 * input or keeps a pointer it was given beyond the call. Handles are
 * independent: several may be used on several threads at once, each on one
 * thread at a time.
 *
 * Encoding: x91_encoder_create, optional settings, then x91_encoder_push of
 * interleaved PCM (left first) in any amounts, x91_encoder_finish at the
 * end, and x91_encoder_take_output for the file's bytes in order.
 *
 * Decoding: x91_decoder_open_memory for a whole file in memory (with exact
 * length and seeking), or x91_decoder_create_for_header plus
 * x91_decoder_decode_packet for a player that finds the packets itself; then
 * x91_decoder_read for the PCM.
 */
#ifndef X91_X91_H
#define X91_X91_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define X91_API __attribute__((visibility("default")))
#else
#define X91_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define X91_SAMPLE_RATE 44100
#define X91_CHANNELS 2
/* The codec works on blocks of this many stereo frames (1/50 s). */
#define X91_BLOCK_FRAMES 882
#define X91_HEADER_BYTES 62
/* The largest packet a decoder accepts (4 MiB); larger counts only come from
 * damaged files. */
#define X91_MAX_PACKET_BYTES 4194304
#define X91_EXTENSION_FOOTER_BYTES 12
/* The largest extension block a decoder accepts (16 MiB). */
#define X91_MAX_EXTENSION_BYTES 16777216

typedef enum x91_status {
    X91_OK = 0,
    X91_ERR_INVALID_ARGUMENT = -1,    /* a null pointer, a value out of range */
    X91_ERR_INVALID_STATE = -2,       /* the call does not fit now (push after finish, ...) */
    X91_ERR_OUT_OF_MEMORY = -3,       /* memory ran out, on any of the handle's threads */
    X91_ERR_NOT_X91 = -4,             /* the data does not start with an x91 header */
    X91_ERR_CUT_SHORT = -5,           /* the data ends inside the header or a packet */
    X91_ERR_HEADER_DAMAGED = -6,      /* a header setting the codec cannot run with */
    X91_ERR_PACKET_TOO_LARGE = -7,    /* a byte count beyond the largest packet, or negative */
    X91_ERR_PACKET_DAMAGED = -8,      /* decoding ran past the packet's end */
    X91_ERR_PACKET_UNREAD_BYTES = -9, /* decoding left whole bytes of the packet unread */
    X91_ERR_INTERNAL = -10,           /* a fault inside the library */
    X91_ERR_NO_EXTENSION = -11,       /* the file has no extension block */
    X91_ERR_EXTENSION_DAMAGED = -12,  /* an extension block, but not as it was written */
    X91_ERR_EXTENSION_UNKNOWN = -13,  /* an extension block of a later version */
    X91_ERR_CHECKSUM_MISMATCH = -14   /* the bytes before the block are not those it was made for */
} x91_status;

/* A short English text for a status, e.g. "cut short". Never null. */
X91_API const char* x91_status_text(x91_status status);

/* The library's version, e.g. "0.1.0". */
X91_API const char* x91_version(void);

/* X91_OK when data starts with a whole x91 header a decoder can run with;
 * X91_ERR_NOT_X91, X91_ERR_CUT_SHORT or X91_ERR_HEADER_DAMAGED otherwise.
 * Players use it to recognise x91 files. */
X91_API x91_status x91_probe(const uint8_t* data, size_t size);

/* From the last X91_EXTENSION_FOOTER_BYTES bytes of a file (size is their
 * number): X91_OK with the size of the extension block that ends the file,
 * footer included, in *block_bytes; X91_ERR_NO_EXTENSION when the file has
 * none; X91_ERR_EXTENSION_DAMAGED for a size no block can have. */
X91_API x91_status x91_extension_size(const uint8_t* footer, size_t size, uint64_t* block_bytes);

/* ---- Encoding ---------------------------------------------------------- */

typedef struct x91_encoder x91_encoder;

/* A new encoder with the default settings in *encoder (null on failure). */
X91_API x91_status x91_encoder_create(x91_encoder** encoder);
/* Frees the encoder; null is allowed. */
X91_API void x91_encoder_destroy(x91_encoder* encoder);

/* Encoding quality in percent, 10 to 400 (default 100): higher values give
 * larger, more faithful files. Settings may change until the first push or
 * take_output; after that X91_ERR_INVALID_STATE. */
X91_API x91_status x91_encoder_set_quality(x91_encoder* encoder, double percent);

/* Threads the encoder works on, the caller's included: 1 (the default) to
 * 256. With more than one, the stream is cut into runs of whole packets
 * encoded side by side after a short warm-up; the bytes are those of one
 * thread, handed out in whole runs and all of them after finish. Memory
 * grows with threads x run length (about 0.45 MB of PCM per run, at most
 * 2 x threads + 2 runs held), never with the stream. The tuned encoder keeps to
 * one thread. Until the first push or take_output. */
X91_API x91_status x91_encoder_set_threads(x91_encoder* encoder, int threads);

/* 1 for the tuned encoder, 0 (the default) for the standard one. The tuned
 * encoder chooses what it sends for quality per bit and picks header
 * settings of its own at each quality; its files are ordinary x91 files that
 * every decoder reads. At the same quality its files are smaller, so compare
 * the modes at equal sizes. Until the first push or take_output. */
X91_API x91_status x91_encoder_set_tuned(x91_encoder* encoder, int tuned);

/* Whether finish() writes the extension block behind the end marker: 1
 * (the default) or 0 for a file that ends at the end marker. Until finish. */
X91_API x91_status x91_encoder_set_extension_block(x91_encoder* encoder, int write);

/* Adds a tag to the extension block: name is printable ASCII without '='
 * (TITLE, ARTIST, ...: players compare names without regard to case), value
 * UTF-8, both copied. X91_ERR_INVALID_ARGUMENT for a name or value a tag
 * cannot have, and for a tag that would take the block beyond
 * X91_MAX_EXTENSION_BYTES beside those added before: it is left out, the
 * others stay, and finish writes them. Until finish. */
X91_API x91_status x91_encoder_add_tag(x91_encoder* encoder, const char* name, const char* value);

/* Interleaved 16-bit samples, left first: 2 * frames values at 44100 Hz.
 * A push, finish or take_output that returns X91_ERR_OUT_OF_MEMORY may have
 * done part of its work: the encoder then refuses those three calls with
 * X91_ERR_INVALID_STATE, and the stream is to be started over. */
X91_API x91_status x91_encoder_push(x91_encoder* encoder, const int16_t* pcm, size_t frames);

/* Ends the audio: pads it with silence so that every pushed sample reaches a
 * packet, and adds the end marker (and the extension block, with the exact
 * number of frames pushed and the tags) to the output. */
X91_API x91_status x91_encoder_finish(x91_encoder* encoder);

/* The next piece of the file, in file order: first the header, then each
 * packet with its byte count in front, and after finish the end marker and
 * the extension block.
 * *data and *size describe bytes the encoder owns, valid until its next
 * call; *size is 0 when no piece is ready. Joined, the pieces are the file. */
X91_API x91_status x91_encoder_take_output(x91_encoder* encoder, const uint8_t** data,
                                           size_t* size);

/* What the last failed call on the encoder found, or "" after success. */
X91_API const char* x91_encoder_last_error(const x91_encoder* encoder);

/* ---- Decoding ---------------------------------------------------------- */

typedef struct x91_decoder x91_decoder;

/* A decoder over a whole x91 file, copied in: checks the header, reads the
 * extension block and walks the packets once. When the block is intact the
 * decoder is trimmed to the input's exact length (see x91_decoder_trim and
 * x91_decoder_exact_length). The file may be damaged past its header (cut
 * short, a bad count): the packets before the damage decode, and last_error
 * names it once read() reaches it. */
X91_API x91_status x91_decoder_open_memory(x91_decoder** decoder, const uint8_t* file, size_t size);

/* A decoder for packets a player finds itself, from the file's first
 * X91_HEADER_BYTES bytes; feed it with x91_decoder_decode_packet. */
X91_API x91_status x91_decoder_create_for_header(x91_decoder** decoder, const uint8_t* header,
                                                 size_t size);

/* Frees the decoder; null is allowed. */
X91_API void x91_decoder_destroy(x91_decoder* decoder);

/* For a decoder over packets: reads the file's extension block (its last
 * block_bytes bytes, see x91_extension_size), keeps its tags and trims the
 * decoder to the input's exact length. X91_ERR_EXTENSION_DAMAGED or
 * X91_ERR_EXTENSION_UNKNOWN leave the decoder as it was. Only before the
 * first packet is decoded or read. The CRC of the bytes before the block is
 * not checked: a player does not read them all first. */
X91_API x91_status x91_decoder_use_extension(x91_decoder* decoder, const uint8_t* block,
                                             size_t size);

/* What the extension block tells about the input: X91_OK with its exact
 * length in frames and the decoded frames before its first one (the
 * transform's lead-in), or X91_ERR_CHECKSUM_MISMATCH with the same values
 * when the block is intact but the bytes before it changed (the decoder
 * still trims with them); X91_ERR_NO_EXTENSION, X91_ERR_EXTENSION_DAMAGED or
 * X91_ERR_EXTENSION_UNKNOWN when it tells nothing. Either pointer may be
 * null. */
X91_API x91_status x91_decoder_exact_length(const x91_decoder* decoder, uint64_t* frames,
                                            uint64_t* lead_in);

/* The tags of the extension block, in the order they were written. */
X91_API size_t x91_decoder_tag_count(const x91_decoder* decoder);
/* Tag `index`: *name and *value point to texts the decoder owns, valid
 * until it is destroyed. X91_ERR_INVALID_ARGUMENT past the last tag. */
X91_API x91_status x91_decoder_tag(const x91_decoder* decoder, size_t index, const char** name,
                                   const char** value);

/* Delivers only frames lead_in .. lead_in + frames of the decode, which then
 * count from 0: the input's exact length, without the transform's lead-in
 * (one block) and the padding of the last packet. Every length, start and
 * position below counts on this timeline. It replaces the trim of the
 * extension block: x91_decoder_trim(decoder, 0, UINT64_MAX) gives every
 * decoded frame. Only before the first packet is decoded or read;
 * X91_ERR_INVALID_STATE after. */
X91_API x91_status x91_decoder_trim(x91_decoder* decoder, uint64_t lead_in, uint64_t frames);

/* Blocks of X91_BLOCK_FRAMES frames in each packet (from the header). */
X91_API uint32_t x91_decoder_frames_per_packet(const x91_decoder* decoder);

/* The first sample frame of packet `packet`'s audio (packets count from 0). */
X91_API uint64_t x91_decoder_packet_start(const x91_decoder* decoder, uint64_t packet);

/* Sample frames packet `packet` decodes to: one block less for the first,
 * which carries the transform's lead-in, than for the rest. */
X91_API uint64_t x91_decoder_packet_frames(const x91_decoder* decoder, uint64_t packet);

/* The first sample frame a decoder restarted at `packet` gives exactly (see
 * x91_decoder_restart): where a player's seek index places the packet. */
X91_API uint64_t x91_decoder_restart_exact_from(const x91_decoder* decoder, uint64_t packet);

/* Sample frames the whole stream decodes to. Known for a file in memory;
 * for a decoder over packets it is what the packets decoded so far give. */
X91_API uint64_t x91_decoder_length(const x91_decoder* decoder);

/* Packet decoding. Decodes one packet (its bytes without the count) into
 * the PCM waiting for read(). Packets follow one another in file order;
 * after a jump (a seek in the player), call x91_decoder_restart first.
 * X91_ERR_PACKET_DAMAGED and X91_ERR_PACKET_UNREAD_BYTES still deliver the
 * audio decoded from the packet; any other failure delivers silence of the
 * packet's length, so the timeline stays in step. */
X91_API x91_status x91_decoder_decode_packet(x91_decoder* decoder, const uint8_t* packet,
                                             size_t size);

/* Forgets what was decoded and waiting; the next packet decode_packet gets
 * is packet number `packet` of the file (below 2^40). Decoding from packet P > 0 cannot
 * rebuild the first two blocks of that packet's audio, which need the packet
 * before it: they come out as silence, and everything after them equals a
 * decode from the start. */
X91_API x91_status x91_decoder_restart(x91_decoder* decoder, uint64_t packet);

/* File decoding: moves the read position to sample frame `frame` (frames
 * past the end put it at the end). The frames read from there on equal
 * those of a decode from the start, bit for bit. */
X91_API x91_status x91_decoder_seek(x91_decoder* decoder, uint64_t frame);

/* The sample frame the next read() delivers. */
X91_API uint64_t x91_decoder_position(const x91_decoder* decoder);

/* Moves up to max_frames decoded frames (interleaved, left first: 2 values
 * each) into pcm and stores their number in *frames; 0 at the end of a file,
 * or when a packet decoder has nothing waiting. For a file, the status is
 * that of the packets decoded for this call: a damaged packet gives its
 * status (the audio is still delivered), and the damage that ends a file
 * early gives its status with the frames before it. */
X91_API x91_status x91_decoder_read(x91_decoder* decoder, int16_t* pcm, size_t max_frames,
                                    size_t* frames);

/* What the last failed call on the decoder found, e.g. "packet 12 is cut
 * short", or "" after success. */
X91_API const char* x91_decoder_last_error(const x91_decoder* decoder);

#ifdef __cplusplus
}
#endif

#endif /* X91_X91_H */
