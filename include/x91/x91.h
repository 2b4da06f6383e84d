/* x91, a lossy audio codec for CD audio (44100 Hz, 16-bit, stereo), as a C
 * library usable from C99 and C++.
 *
 * An x91 file is a 62-byte header, then packets, each a little-endian 32-bit
 * byte count followed by that many bytes, then a count of 0 (the end
 * marker). A packet holds X91_BLOCK_FRAMES * frames-per-packet sample
 * frames (16 blocks of 882 frames with the default settings). An extension
 * block may follow the end marker: the input's exact length, its tags
 * (NAME=VALUE), its pictures and a CRC-32 of every byte before the block. It ends with a
 * footer of X91_EXTENSION_FOOTER_BYTES, so a reader finds it with one seek
 * from the end of the file; decoders that stop at the end marker never see
 * it.
 *
 * Every call reports its outcome as an x91_status: X91_OK (0) or a negative
 * code; x91_status_text() names a code, and the handle's last_error call
 * gives the details of its most recent failure. No call throws, aborts on bad
 * input or keeps a pointer it was given beyond the call, but for the user
 * data of callbacks and the thread pools a handle works with. Handles are
 * independent: several may be used on several threads at once, each on one
 * thread at a time.
 *
 * Encoding: x91_encoder_create (the file's bytes taken with
 * x91_encoder_take_output) or x91_encoder_open_callback (handed to a write
 * callback as they are made), optional settings, then x91_encoder_push of
 * interleaved PCM (left first) in any amounts and x91_encoder_finish at the
 * end.
 *
 * Decoding a whole stream: x91_decoder_open_callbacks over read (and, for a
 * file read at will, seek and tell) callbacks, x91_decoder_open_push for
 * bytes the caller pushes in pieces (x91_decoder_feed), or
 * x91_decoder_open_memory for a file in memory; then x91_decoder_read for
 * the PCM. A player that finds the packets itself uses
 * x91_decoder_create_for_header and x91_decoder_decode_packet.
 *
 * Damage: every decode follows one rule. A packet whose bits run past its
 * end is damaged: its audio, decoded as far as it goes, is kept, and the
 * decode goes on (packets are framed, so the next one is not disturbed). A
 * packet that leaves whole bytes unread decodes as it is. A packet that
 * cannot be decoded at all gives silence of its length. After
 * X91_MAX_DAMAGED_IN_A_ROW damaged packets in a row the decode stops
 * (X91_ERR_TOO_DAMAGED), keeping the audio up to the last of them, so that a
 * small damaged file cannot decode to an enormous one. Damage to the
 * framing (a count no packet can have, the data ending inside a packet or
 * without its end marker) ends the decode there: x91 has no sync words. A
 * damaged or unknown extension block never stops the audio: the decode then
 * gives every decoded frame.
 */
#ifndef X91_X91_H
#define X91_X91_H

#include <stddef.h>
#include <stdint.h>

#include "x91/constants.h"

#if defined(__GNUC__) || defined(__clang__)
#define X91_API __attribute__((visibility("default")))
#else
#define X91_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum x91_status {
    X91_OK = 0,
    X91_ERR_INVALID_ARGUMENT = -1,    /* a null pointer, a value out of range */
    X91_ERR_INVALID_STATE = -2,       /* the call does not fit now (push after finish, ...) */
    X91_ERR_OUT_OF_MEMORY = -3,       /* memory ran out, on any of the handle's threads */
    X91_ERR_NOT_X91 = -4,             /* the data does not start with an x91 header */
    X91_ERR_CUT_SHORT = -5,           /* the data ends inside the header or a packet, or the
                                         packets before the frames the block gives */
    X91_ERR_HEADER_DAMAGED = -6,      /* a header setting the codec cannot run with */
    X91_ERR_PACKET_TOO_LARGE = -7,    /* a byte count beyond the largest packet, or negative */
    X91_ERR_PACKET_DAMAGED = -8,      /* decoding ran past the packet's end */
    X91_ERR_PACKET_UNREAD_BYTES = -9, /* decoding left whole bytes of the packet unread */
    X91_ERR_INTERNAL = -10,           /* a fault inside the library */
    X91_ERR_NO_EXTENSION = -11,       /* the file has no extension block */
    X91_ERR_EXTENSION_DAMAGED = -12,  /* an extension block, but not as it was written */
    X91_ERR_EXTENSION_UNKNOWN = -13,  /* an extension block of a later version */
    X91_ERR_CHECKSUM_MISMATCH = -14,  /* the bytes before the block are not those it was made for */
    X91_ERR_READ_FAILED = -15,        /* a read callback failed */
    X91_ERR_WRITE_FAILED = -16,       /* the write callback failed */
    X91_ERR_TOO_DAMAGED = -17,        /* the decode stopped: too many damaged packets in a row */
    X91_ERR_TRAILING_BYTES = -18      /* bytes follow the end marker that are no extension block */
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

/* X91_OK when name and value make a tag the extension block can carry: name
 * printable ASCII without '=', value UTF-8; X91_ERR_INVALID_ARGUMENT
 * otherwise. */
X91_API x91_status x91_tag_check(const char* name, const char* value);

/* What the last failed call on this thread that has no handle to keep it
 * found: a failed open or create ("x91 header damaged: line count 0"), or
 * x91_check_callbacks. "" when the last such call succeeded. */
X91_API const char* x91_thread_last_error(void);

/* ---- Byte streams -------------------------------------------------------- */

/* Where a decoder reads an x91 file from. read is required; seek and tell
 * make the file one the decoder reads at will: its extension block first,
 * from the end, and every packet's place, so that the exact length, the
 * tags and seeking are known before the first packet is decoded. Without
 * them, or when the first seek fails (a pipe), the file is read once from
 * its start to its end (see x91_decoder_open_callbacks). */
typedef struct x91_io {
    /* Up to size bytes into buffer: how many were read, 0 at the end of the
     * data, or a negative number when reading failed. */
    int64_t (*read)(void* user, uint8_t* buffer, size_t size);
    /* Optional: moves as fseek does (whence SEEK_SET, SEEK_CUR or SEEK_END of
     * <stdio.h>); 0 on success. */
    int (*seek)(void* user, int64_t offset, int whence);
    /* Optional, needed with seek: the position, as ftell gives it; negative
     * on failure. The file starts where the data stands at the open. */
    int64_t (*tell)(void* user);
    /* Optional: where the data ends, as tell would give it there; negative
     * when unknown. Without it, a seek to the end and tell find it. */
    int64_t (*length)(void* user);
} x91_io;

/* Where an encoder's bytes go: the next size bytes of the file; 0 when they
 * were taken, nonzero when they could not be written (the encoder then
 * fails with X91_ERR_WRITE_FAILED). */
typedef int (*x91_write_fn)(void* user, const uint8_t* data, size_t size);

/* ---- Threads shared by several coders ---------------------------------- */

/* A number of threads that several encoders and decoders share, as the
 * x91 command's -j shares its threads among the files it converts at once.
 * Each coder's caller holds a place while it works (x91_threads_hold); a
 * coder given the pool uses the places nobody holds or waits for, and gives
 * them back as soon as someone waits. The output is that of one thread. */
typedef struct x91_threads x91_threads;

/* The processors this process may run on (its CPU affinity), at least 1. */
X91_API int x91_available_threads(void);

/* A pool of count places, 1 to X91_MAX_THREADS. */
X91_API x91_status x91_threads_create(x91_threads** threads, int count);
/* Frees the pool, which no coder may use any more; null is allowed. */
X91_API void x91_threads_destroy(x91_threads* threads);
/* Waits for a free place and takes it for the calling thread's work. */
X91_API void x91_threads_hold(x91_threads* threads);
/* Gives a place taken with x91_threads_hold back; with none taken, nothing
 * happens. */
X91_API void x91_threads_release(x91_threads* threads);

/* ---- Encoding ---------------------------------------------------------- */

typedef struct x91_encoder x91_encoder;

/* A new encoder with the default settings in *encoder (null on failure);
 * the file's bytes are taken with x91_encoder_take_output. */
X91_API x91_status x91_encoder_create(x91_encoder** encoder);
/* The same, but every byte of the file goes to write(user, ...) as soon as
 * it is made: the header with the first push (or finish), each packet as
 * it is ready, the end marker and the extension block with finish. Nothing
 * is ever rewritten, so the file may go to a pipe. */
X91_API x91_status x91_encoder_open_callback(x91_encoder** encoder, x91_write_fn write, void* user);
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

/* Instead of threads of its own, the encoder works on the spare places of a
 * shared pool, which must outlive it; the caller holds a place of it while
 * it pushes and finishes. Until the first push or take_output. */
X91_API x91_status x91_encoder_share_threads(x91_encoder* encoder, x91_threads* threads);

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
 * UTF-8, both copied. X91_ERR_INVALID_ARGUMENT, and no tag added, for a name
 * or value a tag cannot have, or a tag that would make the block larger
 * than X91_MAX_EXTENSION_BYTES: the tags added before it stay, and finish
 * writes them. Until finish. */
X91_API x91_status x91_encoder_add_tag(x91_encoder* encoder, const char* name, const char* value);

/* A picture of the extension block, as FLAC's PICTURE block and ID3's APIC
 * frame hold one: type as they number them (3 the front cover, 4 the back,
 * 0 other, ...), the MIME type ("image/jpeg", printable ASCII), a UTF-8
 * description, the width, height, colour depth in bits per pixel and the
 * colours of an indexed image (each 0 where not known), and the image's
 * bytes. */
typedef struct x91_picture {
    uint32_t type;
    const char* mime_type;
    const char* description;
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    uint32_t colours;
    const uint8_t* data;
    size_t size;
} x91_picture;

/* Adds a picture to the extension block, every part copied (mime_type and
 * description may be null for ""). X91_ERR_INVALID_ARGUMENT, and nothing
 * added, for a MIME type or description a picture cannot have, or a picture
 * that would make the block larger than X91_MAX_EXTENSION_BYTES: what was
 * added before stays. Until finish. */
X91_API x91_status x91_encoder_add_picture(x91_encoder* encoder, const x91_picture* picture);

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

/* The packets handed out so far: the sample frames they hold
 * (X91_BLOCK_FRAMES times the frames per packet each) and their bytes,
 * without the counts. For a progress display. Either pointer may be null. */
X91_API x91_status x91_encoder_progress(const x91_encoder* encoder, uint64_t* frames,
                                        uint64_t* bytes);

/* The quality percentage (X91_QUALITY_MIN to X91_QUALITY_MAX) at which an
 * encode of pcm (frames interleaved stereo frames) in the standard mode, or
 * the tuned one (tuned 1), makes a file averaging kbps kilobits per second:
 * its size over the audio's length. A piece of 30 s or more lands within 5%,
 * unless the rate lies beyond what the range gives, where its nearest end is
 * taken. Pass it to x91_encoder_set_quality. */
X91_API x91_status x91_quality_for_bitrate(const int16_t* pcm, size_t frames, double kbps,
                                           int tuned, double* percent);

/* Puts frames first to first + count - 1 of some audio into out
 * (interleaved stereo, left first); 0 when it did, nonzero when it could not. */
typedef int (*x91_pcm_read_fn)(void* user, uint64_t first, size_t count, int16_t* out);

/* The same for audio of `frames` frames that read delivers in stretches, in
 * any order and as often as the search needs it: audio kept in pieces, or
 * too long to keep in one. X91_ERR_READ_FAILED when a read fails. */
X91_API x91_status x91_quality_for_bitrate_callback(uint64_t frames, x91_pcm_read_fn read,
                                                    void* user, double kbps, int tuned,
                                                    double* percent);

/* What the last failed call on the encoder found, or "" after success. */
X91_API const char* x91_encoder_last_error(const x91_encoder* encoder);

/* ---- Decoding ---------------------------------------------------------- */

typedef struct x91_decoder x91_decoder;

/* A decoder over a whole x91 file, copied in, read at will as through
 * callbacks with seek: checks the header, reads the extension block, checks
 * the CRC and walks the packets once. When the block is intact the decoder
 * is trimmed to the input's exact length (see x91_decoder_trim and
 * x91_decoder_exact_length). The file may be damaged past its header (cut
 * short, a bad count): the packets before the damage decode, and last_error
 * names it once read() reaches it. */
X91_API x91_status x91_decoder_open_memory(x91_decoder** decoder, const uint8_t* file, size_t size);

/* A decoder over a file read through callbacks (see x91_io), which must
 * stay valid until the decoder is destroyed; user is handed to them. Reads
 * the header at once: X91_OK, or X91_ERR_NOT_X91, X91_ERR_CUT_SHORT,
 * X91_ERR_HEADER_DAMAGED or X91_ERR_READ_FAILED (x91_thread_last_error
 * tells more).
 *
 * With seek and tell, the file is read at will: the decoder knows its
 * length, exact length and tags at once and can seek. Otherwise it is read
 * once, from start to end, as read() needs it: the audio comes as the packets
 * come, with memory bounded whatever the stream's length. Since the
 * extension block stands at the end, the decoder holds the audio back until
 * the stream has ended or more than about 47 s is held; a stream that ends
 * within that is decoded exactly as a file read at will. A longer one is
 * taken, from then on, to have the block every x91 encoder writes: its
 * lead-in block is cut, and only the last two packets' audio is held back
 * for the block to cut the padding when it comes. The tags and
 * x91_decoder_exact_length are known at the end. */
X91_API x91_status x91_decoder_open_callbacks(x91_decoder** decoder, const x91_io* io, void* user);

/* A decoder for a stream whose bytes the caller pushes in pieces of any
 * size, as they arrive (a network transfer): x91_decoder_feed, then
 * x91_decoder_feed_end. It decodes in one pass, as
 * x91_decoder_open_callbacks without seek; x91_decoder_read gives 0 frames
 * when it needs more bytes, and x91_decoder_ended tells the end. */
X91_API x91_status x91_decoder_open_push(x91_decoder** decoder);
/* The next size bytes of the stream. X91_OK, or the header's refusal once
 * its bytes are there (X91_ERR_NOT_X91, ...), which later calls repeat.
 * Bytes are held until reads decode them. */
X91_API x91_status x91_decoder_feed(x91_decoder* decoder, const uint8_t* data, size_t size);
/* The stream has no more bytes. */
X91_API x91_status x91_decoder_feed_end(x91_decoder* decoder);
/* 1 once every frame of the stream was read (and the outcome that ended it
 * told), 0 before. */
X91_API int x91_decoder_ended(const x91_decoder* decoder);

/* Threads the decoder works on, the caller's included: 1 (the default) to
 * X91_MAX_THREADS, as for the encoder; or the spare places of a shared pool,
 * which must outlive it. A stream decoder only, before decoding begins. */
X91_API x91_status x91_decoder_set_threads(x91_decoder* decoder, int threads);
X91_API x91_status x91_decoder_share_threads(x91_decoder* decoder, x91_threads* threads);

/* The packets decoded so far: the sample frames they hold (X91_BLOCK_FRAMES
 * times the frames per packet each) and their bytes, without the counts.
 * For a progress display. Either pointer may be null. */
X91_API x91_status x91_decoder_progress(const x91_decoder* decoder, uint64_t* frames,
                                        uint64_t* bytes);

/* What is wrong with the extension block when x91_decoder_exact_length
 * tells X91_ERR_EXTENSION_DAMAGED or X91_ERR_EXTENSION_UNKNOWN, e.g.
 * "extension block of version 2, not known here"; "" otherwise. */
X91_API const char* x91_decoder_extension_error(const x91_decoder* decoder);

/* Reads a whole x91 file through callbacks (as x91_decoder_open_callbacks
 * does) and tells whether it is exactly as its encoder wrote it, without
 * delivering audio. X91_OK when it is intact: a valid header, every packet
 * decoded to within its last byte and no further, the end marker, and the
 * extension block right behind it intact, with the CRC of every byte
 * before it. X91_ERR_NO_EXTENSION, intact too, when nothing follows the end
 * marker; X91_ERR_EXTENSION_UNKNOWN, intact as far as can be told, for a
 * block of a later version. Otherwise the first thing that is not so, in
 * file order, except that a checksum mismatch under an intact block comes
 * first; X91_ERR_READ_FAILED when a callback failed.
 * x91_thread_last_error names it ("packet 12 is cut short"). threads may be
 * null (one thread). */
X91_API x91_status x91_check_callbacks(const x91_io* io, void* user, x91_threads* threads);

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
 * X91_ERR_EXTENSION_UNKNOWN when it tells nothing. A stream read in one pass
 * knows it at its end; a file read through callbacks knows the CRC once it
 * was read in order from its start to its end marker. Either pointer may be
 * null. */
X91_API x91_status x91_decoder_exact_length(const x91_decoder* decoder, uint64_t* frames,
                                            uint64_t* lead_in);

/* The tags of the extension block, in the order they were written. */
X91_API size_t x91_decoder_tag_count(const x91_decoder* decoder);
/* Tag `index`: *name and *value point to texts the decoder owns, valid
 * until it is destroyed. X91_ERR_INVALID_ARGUMENT past the last tag. */
X91_API x91_status x91_decoder_tag(const x91_decoder* decoder, size_t index, const char** name,
                                   const char** value);

/* The quality percentage the header's settings were made with, as the
 * encoder's quality rescales them (to 0.1; 100 for the defaults), read from
 * the masking level scale it stores. The standard encoder's files read
 * X91_QUALITY_MIN to X91_QUALITY_MAX; the tuned encoder sets the scale for a
 * point of its own, which reads up to about 4500 at its top qualities.
 * X91_ERR_INVALID_STATE for a decoder over packets or before the header. */
X91_API x91_status x91_decoder_quality(const x91_decoder* decoder, double* percent);

/* The pictures of the extension block, in the order they were written, known
 * when its tags are. */
X91_API size_t x91_decoder_picture_count(const x91_decoder* decoder);
/* Picture `index` into *picture, whose pointers lead to what the decoder
 * owns, valid until it is destroyed. X91_ERR_INVALID_ARGUMENT past the last. */
X91_API x91_status x91_decoder_picture(const x91_decoder* decoder, size_t index,
                                       x91_picture* picture);

/* An extension block on its own: the tags and pictures of a finished x91
 * file read, changed and written again without touching its packets. The
 * block's image replaces the file's old block (or follows the end marker of
 * a file that has none); the bytes before it stay as they are. */
typedef struct x91_block x91_block;

/* The block of a file: its last block_bytes bytes (see x91_extension_size).
 * X91_ERR_EXTENSION_DAMAGED or X91_ERR_EXTENSION_UNKNOWN (see
 * x91_thread_last_error) for a block that cannot be read. */
X91_API x91_status x91_block_open(x91_block** block, const uint8_t* bytes, size_t size);
/* A block for a file without one: frames and lead_in as x91_decoder_trim
 * takes them, stream_crc the CRC-32 (x91_crc32) of every byte of the file. */
X91_API x91_status x91_block_create(x91_block** block, uint64_t frames, uint32_t lead_in,
                                    uint32_t stream_crc);
X91_API void x91_block_destroy(x91_block* block);

/* Tags and pictures as the decoder gives them, valid until the block changes
 * or is destroyed. */
X91_API size_t x91_block_tag_count(const x91_block* block);
X91_API x91_status x91_block_tag(const x91_block* block, size_t index, const char** name,
                                 const char** value);
X91_API size_t x91_block_picture_count(const x91_block* block);
X91_API x91_status x91_block_picture(const x91_block* block, size_t index, x91_picture* picture);

/* Adds after the others, as x91_encoder_add_tag and _add_picture do (the
 * same refusals). */
X91_API x91_status x91_block_add_tag(x91_block* block, const char* name, const char* value);
X91_API x91_status x91_block_add_picture(x91_block* block, const x91_picture* picture);
/* Removes every tag of that name (compared without regard to case), or
 * every tag for a null name. */
X91_API x91_status x91_block_remove_tags(x91_block* block, const char* name);
/* Removes every picture. */
X91_API x91_status x91_block_remove_pictures(x91_block* block);

/* The block's bytes as they stand: *data stays valid until the block changes
 * or is destroyed. */
X91_API x91_status x91_block_image(x91_block* block, const uint8_t** data, size_t* size);

/* Why the last change of the block was refused, e.g. "the block would pass
 * its 16 MiB"; "" after success. */
X91_API const char* x91_block_last_error(const x91_block* block);

/* Carries a CRC-32 (the one of zlib and PNG; start with 0) over size more
 * bytes. */
X91_API uint32_t x91_crc32(uint32_t crc, const uint8_t* data, size_t size);

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
 * which carries the transform's lead-in, than for the rest; 0 for packets
 * beyond the trimmed end (and for UINT64_MAX). */
X91_API uint64_t x91_decoder_packet_frames(const x91_decoder* decoder, uint64_t packet);

/* The first sample frame a decoder restarted at `packet` gives exactly (see
 * x91_decoder_restart): where a player's seek index places the packet. */
X91_API uint64_t x91_decoder_restart_exact_from(const x91_decoder* decoder, uint64_t packet);

/* Sample frames the whole stream decodes to. Known at once for a file read
 * at will; for a stream read in one pass or a decoder over packets it is
 * what was decoded so far, the whole once the stream has ended. */
X91_API uint64_t x91_decoder_length(const x91_decoder* decoder);

/* Packet decoding. Decodes one packet (its bytes without the count) into
 * the PCM waiting for read(). Packets follow one another in file order;
 * after a jump (a seek in the player), call x91_decoder_restart first.
 * X91_ERR_PACKET_DAMAGED and X91_ERR_PACKET_UNREAD_BYTES still deliver the
 * audio decoded from the packet; X91_ERR_PACKET_TOO_LARGE (no bytes, or too
 * many) delivers silence of the packet's length, so the timeline stays in
 * step. X91_ERR_TOO_DAMAGED: the packet was the last of
 * X91_MAX_DAMAGED_IN_A_ROW damaged ones in a row, and nothing more is
 * decoded (every later packet gives the same) until x91_decoder_restart.
 * A null packet with a size above 0 is X91_ERR_INVALID_ARGUMENT. */
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
 * those of a decode from the start, bit for bit. A file read at will only;
 * X91_ERR_INVALID_STATE for a stream read in one pass. */
X91_API x91_status x91_decoder_seek(x91_decoder* decoder, uint64_t frame);

/* The sample frame the next read() delivers. */
X91_API uint64_t x91_decoder_position(const x91_decoder* decoder);

/* Moves up to max_frames decoded frames (interleaved, left first: 2 values
 * each) into pcm and stores their number in *frames; 0 at the end of a
 * stream, when a packet decoder has nothing waiting, or when a pushed
 * stream needs more bytes. A read gives the audio of one packet at most.
 * For a stream, the status is that of the packet whose audio the read
 * starts: a damaged packet gives its status (the audio is still
 * delivered), X91_ERR_TOO_DAMAGED the last one before the decode stops; and
 * what ends a stream early (damaged framing, a failed read, packets that
 * end before the frames the extension block gives: X91_ERR_CUT_SHORT) gives
 * its status with 0 frames at the end. A read, seek or feed that returns
 * X91_ERR_OUT_OF_MEMORY may have done part of its work: the decoder then
 * refuses those calls with X91_ERR_INVALID_STATE (a packet decoder until
 * x91_decoder_restart), and the stream is to be decoded over. */
X91_API x91_status x91_decoder_read(x91_decoder* decoder, int16_t* pcm, size_t max_frames,
                                    size_t* frames);

/* What the last failed call on the decoder found, e.g. "packet 12 is cut
 * short", or "" after success. */
X91_API const char* x91_decoder_last_error(const x91_decoder* decoder);

#ifdef __cplusplus
}
#endif

#endif /* X91_X91_H */
