/* x91parse: splits an x91 stream into its packets, one buffer each, with
 * timestamps and durations from the packet's place in the stream.
 *
 * x91 has no sync words: a packet is found only by walking the byte counts
 * from the header. So every seek is made accurate, which has the base class
 * start from an indexed packet at or before the target and parse on from
 * there; data at any other offset is skipped up to the next indexed packet.
 * In pull mode the extension block is read from the end of the file first
 * and the whole index built before the first packet (a read of four bytes
 * per packet): the timeline is then the input's exact length (the caps
 * carry it to x91dec as frames and lead-in), the duration is known and the
 * block's tags are posted. In push mode the block would only come at the
 * end: the timeline is every decoded frame, and the index grows as packets
 * pass.
 *
 * Each packet is indexed at the first frame a decoder restarted there gives
 * exactly, so a seek starts at a packet whose audio is right from the
 * target on; x91dec restarts its decoder when the packets it gets jump. */
#include <gst/base/gstbaseparse.h>
#include <gst/tag/tag.h>
#include <x91/x91.h>

#include "x91elements.h"

GST_DEBUG_CATEGORY_STATIC(x91parse_debug);
#define GST_CAT_DEFAULT x91parse_debug

/* Past this many packets (about 93 hours of audio) a stream is not indexed
 * further: a file of tiny packets must not make the index exhaust memory. */
#define X91_PARSE_MAX_INDEX (1u << 20)

#define X91_PARSE_COUNT_BYTES 4

typedef struct {
    GstBaseParse parent;
    /* A decoder over packets, made from the header, that never decodes: it
     * places each packet on the stream's timeline and holds what the
     * extension block tells. Null until the header is read. */
    x91_decoder* packets;
    /* Stream offset of each known packet's byte count, by packet number. */
    GArray* offsets;
    /* The packet after the last one parsed, and the offset of its count. */
    guint64 next_packet;
    guint64 next_offset;
    gboolean ended; /* the end marker was passed: what follows is not audio */
} X91Parse;

typedef struct {
    GstBaseParseClass parent_class;
} X91ParseClass;

G_DEFINE_TYPE(X91Parse, x91_parse, GST_TYPE_BASE_PARSE)
GST_ELEMENT_REGISTER_DEFINE(x91parse, "x91parse", GST_RANK_PRIMARY, x91_parse_get_type())

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(X91_GST_MEDIA_TYPE));

static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS(X91_GST_MEDIA_TYPE ", parsed = (boolean) true, rate = (int) 44100, "
                                       "channels = (int) 2"));

static GstClockTime frames_to_time(guint64 frames) {
    return gst_util_uint64_scale(frames, GST_SECOND, X91_SAMPLE_RATE);
}

static void x91_parse_reset(X91Parse* self) {
    x91_decoder_destroy(self->packets);
    self->packets = NULL;
    g_array_set_size(self->offsets, 0);
    self->next_packet = 0;
    self->next_offset = X91_HEADER_BYTES;
    self->ended = FALSE;
}

static gboolean x91_parse_start(GstBaseParse* parse) {
    X91Parse* self = (X91Parse*)parse;
    x91_parse_reset(self);
    gst_base_parse_set_min_frame_size(parse, X91_HEADER_BYTES);
    gst_base_parse_set_has_timing_info(parse, FALSE);
    return TRUE;
}

static gboolean x91_parse_stop(GstBaseParse* parse) {
    x91_parse_reset((X91Parse*)parse);
    return TRUE;
}

/* Records packet `packet` at stream offset `offset` (its byte count) in both
 * indexes, unless it is known already or the index is full. */
static void x91_parse_index(X91Parse* self, guint64 packet, guint64 offset) {
    if (packet != self->offsets->len || packet >= X91_PARSE_MAX_INDEX) return;
    g_array_append_val(self->offsets, offset);
    const guint64 exact = x91_decoder_restart_exact_from(self->packets, packet);
    gst_base_parse_add_index_entry(GST_BASE_PARSE(self), offset, frames_to_time(exact), TRUE, TRUE);
}

/* The first indexed packet whose count stands at `offset` or after it;
 * the number of indexed packets when there is none. */
static guint x91_parse_packet_from(X91Parse* self, guint64 offset) {
    const guint64* offsets = (const guint64*)self->offsets->data;
    guint low = 0, high = self->offsets->len;
    while (low < high) {
        const guint mid = low + (high - low) / 2;
        if (offsets[mid] < offset)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

/* Finds the packet whose count stands at the frame's offset: the one after
 * the packet before, or an indexed one. Anywhere else (a seek by byte
 * estimate) the bytes up to the next indexed packet are skipped; past the
 * index there is no telling where a packet starts, and the stream ends. */
static gboolean x91_parse_locate(X91Parse* self, GstBaseParseFrame* frame, gint* skipsize,
                                 guint64* packet) {
    const guint64 offset = frame->offset;
    if (offset == self->next_offset) {
        *packet = self->next_packet;
        return TRUE;
    }
    const guint found = x91_parse_packet_from(self, offset);
    if (found == self->offsets->len) return FALSE;
    const guint64 at = g_array_index(self->offsets, guint64, found);
    if (at == offset) {
        *packet = found;
        return TRUE;
    }
    *skipsize = (gint)MIN(at - offset, (guint64)G_MAXINT);
    return TRUE;
}

/* Reads `size` bytes at `offset` of the stream into `bytes`; FALSE when they
 * are not all there. */
static gboolean x91_parse_pull(GstPad* sink, guint64 offset, guint8* bytes, guint size) {
    GstBuffer* buffer = NULL;
    if (gst_pad_pull_range(sink, offset, size, &buffer) != GST_FLOW_OK) return FALSE;
    const gsize got = gst_buffer_extract(buffer, 0, bytes, size);
    gst_buffer_unref(buffer);
    return got == size;
}

/* In pull mode, with the stream's size known: the extension block, found
 * by its footer at the very end, trims the timeline to the input's exact
 * length and gives the tags. A damaged block is warned of; every decoded
 * frame then plays, as without one. */
static void x91_parse_read_extension(X91Parse* self, GstPad* sink, guint64 total) {
    guint8 footer[X91_EXTENSION_FOOTER_BYTES];
    guint64 block_bytes = 0;
    if (total < X91_HEADER_BYTES + 4 + sizeof footer ||
        !x91_parse_pull(sink, total - sizeof footer, footer, sizeof footer))
        return;
    x91_status status = x91_extension_size(footer, sizeof footer, &block_bytes);
    if (status == X91_ERR_NO_EXTENSION) return;
    if (status == X91_OK && block_bytes > total - X91_HEADER_BYTES - 4)
        status = X91_ERR_EXTENSION_DAMAGED;
    if (status == X91_OK) {
        guint8* block = g_malloc(block_bytes);
        status = x91_parse_pull(sink, total - block_bytes, block, (guint)block_bytes)
                     ? x91_decoder_use_extension(self->packets, block, block_bytes)
                     : X91_ERR_CUT_SHORT;
        g_free(block);
    }
    if (status != X91_OK)
        GST_ELEMENT_WARNING(
            self, STREAM, DECODE,
            ("The x91 file's extension block cannot be used: %s.", x91_status_text(status)),
            ("every decoded frame plays, the lead-in and padding too"));
}

/* In pull mode: reads the extension block, then walks every byte count once,
 * to index the packets and know the stream's duration before the first
 * packet goes out. Stops at the end marker, at a count no packet can have,
 * or where the data ends. */
static void x91_parse_scan(X91Parse* self) {
    GstPad* sink = GST_BASE_PARSE_SINK_PAD(self);
    if (GST_PAD_MODE(sink) != GST_PAD_MODE_PULL) return;
    gint64 total = -1;
    if (!gst_pad_peer_query_duration(sink, GST_FORMAT_BYTES, &total)) total = -1;
    if (total > 0) x91_parse_read_extension(self, sink, (guint64)total);
    guint64 offset = X91_HEADER_BYTES;
    guint64 packet = 0;
    while (packet < X91_PARSE_MAX_INDEX) {
        guint8 bytes[X91_PARSE_COUNT_BYTES];
        if (!x91_parse_pull(sink, offset, bytes, sizeof bytes)) break;
        const gint32 count = (gint32)GST_READ_UINT32_LE(bytes);
        if (count <= 0 || count > X91_MAX_PACKET_BYTES) break;
        const guint64 end = offset + X91_PARSE_COUNT_BYTES + (guint64)count;
        if (total >= 0 && end > (guint64)total) break;
        x91_parse_index(self, packet, offset);
        offset = end;
        ++packet;
    }
    const guint64 frames = x91_decoder_packet_start(self->packets, packet);
    gst_base_parse_set_duration(GST_BASE_PARSE(self), GST_FORMAT_TIME, frames_to_time(frames), 0);
    GST_DEBUG_OBJECT(self, "%" G_GUINT64_FORMAT " packets, %" G_GUINT64_FORMAT " frames", packet,
                     frames);
}

static GstFlowReturn x91_parse_header(X91Parse* self, GstBaseParseFrame* frame) {
    guint8 bytes[X91_HEADER_BYTES];
    gst_buffer_extract(frame->buffer, 0, bytes, sizeof bytes);
    const x91_status status = x91_decoder_create_for_header(&self->packets, bytes, sizeof bytes);
    if (status != X91_OK) {
        GST_ELEMENT_ERROR(self, STREAM, WRONG_TYPE,
                          ("Not a playable x91 file: %s.", x91_status_text(status)), (NULL));
        return GST_FLOW_ERROR;
    }
    x91_parse_scan(self);

    GstBuffer* header = gst_buffer_new_memdup(bytes, sizeof bytes);
    GstCaps* caps = gst_caps_new_simple(X91_GST_MEDIA_TYPE, "parsed", G_TYPE_BOOLEAN, TRUE, "rate",
                                        G_TYPE_INT, X91_SAMPLE_RATE, "channels", G_TYPE_INT,
                                        X91_CHANNELS, "codec_data", GST_TYPE_BUFFER, header, NULL);
    gst_buffer_unref(header);
    /* The timeline x91dec must give: the input's exact length. */
    guint64 frames = 0, lead_in = 0;
    const x91_status exact = x91_decoder_exact_length(self->packets, &frames, &lead_in);
    if (exact == X91_OK)
        gst_caps_set_simple(caps, "frames", G_TYPE_UINT64, frames, "lead-in", G_TYPE_UINT64,
                            lead_in, NULL);
    const gboolean set = gst_pad_set_caps(GST_BASE_PARSE_SRC_PAD(self), caps);
    gst_caps_unref(caps);
    if (!set) return GST_FLOW_NOT_NEGOTIATED;

    /* The block's tags are Vorbis comments: TITLE, ARTIST, ... */
    GstTagList* tags = gst_tag_list_new(GST_TAG_AUDIO_CODEC, "x91", NULL);
    for (size_t i = 0; i < x91_decoder_tag_count(self->packets); ++i) {
        const char *name = NULL, *value = NULL;
        if (x91_decoder_tag(self->packets, i, &name, &value) == X91_OK)
            gst_vorbis_tag_add(tags, name, value);
    }
    gst_base_parse_merge_tags(GST_BASE_PARSE(self), tags, GST_TAG_MERGE_REPLACE);
    gst_tag_list_unref(tags);

    self->next_offset = X91_HEADER_BYTES;
    gst_base_parse_set_min_frame_size(GST_BASE_PARSE(self), X91_PARSE_COUNT_BYTES);
    frame->flags |= GST_BASE_PARSE_FRAME_FLAG_DROP;
    return gst_base_parse_finish_frame(GST_BASE_PARSE(self), frame, X91_HEADER_BYTES);
}

/* Drops what follows the packets: the end marker and anything behind it. */
static GstFlowReturn x91_parse_drop(X91Parse* self, GstBaseParseFrame* frame, gsize size) {
    frame->flags |= GST_BASE_PARSE_FRAME_FLAG_DROP;
    return gst_base_parse_finish_frame(GST_BASE_PARSE(self), frame, (gint)size);
}

/* A damaged file ends where its damage is: there is no sync word to find the
 * next packet by. The audio before it plays. */
static GstFlowReturn x91_parse_damage(X91Parse* self, GstBaseParseFrame* frame, gsize size,
                                      const gchar* what, gint64 count) {
    GST_ELEMENT_WARNING(self, STREAM, DECODE, ("Damaged x91 file: the audio ends early."),
                        ("packet %" G_GUINT64_FORMAT " %s (%" G_GINT64_FORMAT ")",
                         self->next_packet + 1, what, count));
    self->ended = TRUE;
    return x91_parse_drop(self, frame, size);
}

/* Emits the packet of `count` bytes behind the count at the frame's start. */
static GstFlowReturn x91_parse_packet(X91Parse* self, GstBaseParseFrame* frame, guint64 packet,
                                      gint32 count) {
    x91_parse_index(self, packet, frame->offset);
    self->next_packet = packet + 1;
    self->next_offset = frame->offset + X91_PARSE_COUNT_BYTES + (guint64)count;
    GstBuffer* out = gst_buffer_copy_region(frame->buffer, GST_BUFFER_COPY_ALL,
                                            X91_PARSE_COUNT_BYTES, (gsize)count);
    GST_BUFFER_PTS(out) = frames_to_time(x91_decoder_packet_start(self->packets, packet));
    GST_BUFFER_DURATION(out) =
        frames_to_time(x91_decoder_packet_start(self->packets, packet + 1)) - GST_BUFFER_PTS(out);
    /* The packet number, by which x91dec follows the stream. */
    GST_BUFFER_OFFSET(out) = packet;
    gst_buffer_replace(&frame->out_buffer, out);
    gst_buffer_unref(out);
    gst_base_parse_set_min_frame_size(GST_BASE_PARSE(self), X91_PARSE_COUNT_BYTES);
    return gst_base_parse_finish_frame(GST_BASE_PARSE(self), frame, X91_PARSE_COUNT_BYTES + count);
}

static GstFlowReturn x91_parse_handle_frame(GstBaseParse* parse, GstBaseParseFrame* frame,
                                            gint* skipsize) {
    X91Parse* self = (X91Parse*)parse;
    *skipsize = 0;
    const gsize size = gst_buffer_get_size(frame->buffer);
    if (self->ended) return x91_parse_drop(self, frame, size);
    if (self->packets == NULL)
        return size < X91_HEADER_BYTES ? GST_FLOW_OK : x91_parse_header(self, frame);
    guint64 packet = 0;
    if (!x91_parse_locate(self, frame, skipsize, &packet)) {
        GST_ELEMENT_WARNING(self, STREAM, DECODE, ("Cannot find x91 packets after a jump."),
                            ("offset %" G_GUINT64_FORMAT, frame->offset));
        self->ended = TRUE;
        return x91_parse_drop(self, frame, size);
    }
    if (*skipsize > 0) return GST_FLOW_OK;
    guint8 bytes[X91_PARSE_COUNT_BYTES];
    if (gst_buffer_extract(frame->buffer, 0, bytes, sizeof bytes) != sizeof bytes)
        return GST_FLOW_OK;
    const gint32 count = (gint32)GST_READ_UINT32_LE(bytes);
    if (count == 0) {
        self->ended = TRUE;
        return x91_parse_drop(self, frame, size);
    }
    if (count < 0 || count > X91_MAX_PACKET_BYTES)
        return x91_parse_damage(self, frame, size, "has an impossible byte count", count);
    if (size < X91_PARSE_COUNT_BYTES + (gsize)count) {
        if (GST_BASE_PARSE_DRAINING(parse))
            return x91_parse_damage(self, frame, size, "is cut short", count);
        gst_base_parse_set_min_frame_size(parse, X91_PARSE_COUNT_BYTES + (guint)count);
        return GST_FLOW_OK;
    }
    return x91_parse_packet(self, frame, packet, count);
}

/* Packets go out whole even when their audio ends before the segment: a
 * decoder restarted after a seek needs the packet before its target, and
 * x91dec's output is what gets clipped. */
static GstFlowReturn x91_parse_pre_push_frame(GstBaseParse* parse, GstBaseParseFrame* frame) {
    (void)parse;
    (void)frame;
    return GST_FLOW_OK;
}

/* Seeks become accurate: they then go through the index of packets. */
static gboolean x91_parse_src_event(GstBaseParse* parse, GstEvent* event) {
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEEK) {
        gdouble rate;
        GstFormat format;
        GstSeekFlags flags;
        GstSeekType start_type, stop_type;
        gint64 start, stop;
        gst_event_parse_seek(event, &rate, &format, &flags, &start_type, &start, &stop_type, &stop);
        if (format == GST_FORMAT_TIME && !(flags & GST_SEEK_FLAG_ACCURATE)) {
            GstEvent* accurate = gst_event_new_seek(rate, format, flags | GST_SEEK_FLAG_ACCURATE,
                                                    start_type, start, stop_type, stop);
            gst_event_set_seqnum(accurate, gst_event_get_seqnum(event));
            gst_event_unref(event);
            event = accurate;
        }
    }
    return GST_BASE_PARSE_CLASS(x91_parse_parent_class)->src_event(parse, event);
}

static void x91_parse_finalize(GObject* object) {
    X91Parse* self = (X91Parse*)object;
    x91_decoder_destroy(self->packets);
    g_array_unref(self->offsets);
    G_OBJECT_CLASS(x91_parse_parent_class)->finalize(object);
}

static void x91_parse_class_init(X91ParseClass* klass) {
    GST_DEBUG_CATEGORY_INIT(x91parse_debug, "x91parse", 0, "x91 stream parser");
    G_OBJECT_CLASS(klass)->finalize = x91_parse_finalize;
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(element_class, "x91 parser", "Codec/Parser/Audio",
                                          "Splits an x91 stream into packets with timestamps",
                                          "x91 developers");
    GstBaseParseClass* parse_class = GST_BASE_PARSE_CLASS(klass);
    parse_class->start = x91_parse_start;
    parse_class->stop = x91_parse_stop;
    parse_class->handle_frame = x91_parse_handle_frame;
    parse_class->src_event = x91_parse_src_event;
    parse_class->pre_push_frame = x91_parse_pre_push_frame;
}

static void x91_parse_init(X91Parse* self) {
    self->offsets = g_array_new(FALSE, FALSE, sizeof(guint64));
    GST_PAD_SET_ACCEPT_INTERSECT(GST_BASE_PARSE_SINK_PAD(self));
    GST_PAD_SET_ACCEPT_TEMPLATE(GST_BASE_PARSE_SINK_PAD(self));
}
