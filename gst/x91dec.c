/* x91dec: decodes the packets x91parse delivers to 16-bit stereo PCM at
 * 44100 Hz. It follows the packet numbers: when they jump (after a seek),
 * the decoder restarts at the new packet, whose first two blocks then come
 * out silent; the seek index keeps the target past them. When the caps
 * carry the input's exact length (frames and lead-in, from the extension
 * block), the decoder gives exactly those frames. Damage follows the
 * library's one policy: a damaged packet gives a warning and its audio as
 * far as it decodes, or silence of its length, and the stream goes on;
 * after X91_MAX_DAMAGED_IN_A_ROW damaged packets in a row it ends there,
 * with a warning, so that a small damaged file cannot play for hours. */
#include <gst/audio/gstaudiodecoder.h>
#include <x91/x91.h>

#include "x91elements.h"

GST_DEBUG_CATEGORY_STATIC(x91dec_debug);
#define GST_CAT_DEFAULT x91dec_debug

#define X91_BYTES_PER_FRAME (2 * X91_CHANNELS)

typedef struct {
    GstAudioDecoder parent;
    x91_decoder* decoder;
    /* The packet number the decoder expects next. */
    guint64 next_packet;
    /* After a flush, whatever packet comes next is decoded afresh. */
    gboolean restart;
} X91Dec;

typedef struct {
    GstAudioDecoderClass parent_class;
} X91DecClass;

G_DEFINE_TYPE(X91Dec, x91_dec, GST_TYPE_AUDIO_DECODER)
GST_ELEMENT_REGISTER_DEFINE(x91dec, "x91dec", GST_RANK_PRIMARY, x91_dec_get_type())

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS(X91_GST_MEDIA_TYPE ", parsed = (boolean) true, rate = (int) 44100, "
                                       "channels = (int) 2"));

static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format = (string) S16LE, rate = (int) 44100, "
                    "channels = (int) 2, layout = (string) interleaved"));

static gboolean x91_dec_stop(GstAudioDecoder* audio_decoder) {
    X91Dec* self = (X91Dec*)audio_decoder;
    x91_decoder_destroy(self->decoder);
    self->decoder = NULL;
    return TRUE;
}

static gboolean x91_dec_set_format(GstAudioDecoder* audio_decoder, GstCaps* caps) {
    X91Dec* self = (X91Dec*)audio_decoder;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const GValue* value = gst_structure_get_value(s, "codec_data");
    GstBuffer* header =
        value && G_VALUE_HOLDS(value, GST_TYPE_BUFFER) ? gst_value_get_buffer(value) : NULL;
    GstMapInfo map;
    if (header == NULL || !gst_buffer_map(header, &map, GST_MAP_READ)) {
        GST_ELEMENT_ERROR(self, STREAM, DECODE, ("No x91 header in the caps."), (NULL));
        return FALSE;
    }
    x91_decoder* decoder = NULL;
    const x91_status status = x91_decoder_create_for_header(&decoder, map.data, map.size);
    gst_buffer_unmap(header, &map);
    if (status != X91_OK) {
        GST_ELEMENT_ERROR(self, STREAM, DECODE, ("x91 header: %s.", x91_status_text(status)),
                          (NULL));
        return FALSE;
    }
    guint64 frames = 0, lead_in = 0;
    if (gst_structure_get_uint64(s, "frames", &frames) &&
        gst_structure_get_uint64(s, "lead-in", &lead_in))
        x91_decoder_trim(decoder, lead_in, frames);
    x91_decoder_destroy(self->decoder);
    self->decoder = decoder;
    self->next_packet = 0;
    self->restart = FALSE;

    GstAudioInfo info;
    gst_audio_info_init(&info);
    gst_audio_info_set_format(&info, GST_AUDIO_FORMAT_S16LE, X91_SAMPLE_RATE, X91_CHANNELS, NULL);
    return gst_audio_decoder_set_output_format(audio_decoder, &info);
}

/* The packet a buffer holds: x91parse numbers them; without a number the
 * packets are taken to follow one another. */
static guint64 x91_dec_packet_of(X91Dec* self, GstBuffer* buffer) {
    return GST_BUFFER_OFFSET_IS_VALID(buffer) ? GST_BUFFER_OFFSET(buffer) : self->next_packet;
}

/* Hands on the audio of packet `packet`, decoded and waiting. */
static GstFlowReturn x91_dec_finish(X91Dec* self, guint64 packet) {
    GstAudioDecoder* audio_decoder = GST_AUDIO_DECODER(self);
    GstMapInfo map;
    const guint64 frames = x91_decoder_packet_frames(self->decoder, packet);
    if (frames == 0) return gst_audio_decoder_finish_frame(audio_decoder, NULL, 1);
    GstBuffer* out = gst_buffer_new_allocate(NULL, frames * X91_BYTES_PER_FRAME, NULL);
    if (out == NULL || !gst_buffer_map(out, &map, GST_MAP_WRITE)) {
        if (out) gst_buffer_unref(out);
        return GST_FLOW_ERROR;
    }
    size_t got = 0;
    x91_decoder_read(self->decoder, (int16_t*)map.data, frames, &got);
    gst_buffer_unmap(out, &map);
    gst_buffer_set_size(out, (gssize)(got * X91_BYTES_PER_FRAME));
    return gst_audio_decoder_finish_frame(audio_decoder, out, 1);
}

static GstFlowReturn x91_dec_handle_frame(GstAudioDecoder* audio_decoder, GstBuffer* buffer) {
    X91Dec* self = (X91Dec*)audio_decoder;
    if (buffer == NULL) return GST_FLOW_OK; /* nothing is held back to drain */
    if (self->decoder == NULL) return GST_FLOW_NOT_NEGOTIATED;

    const guint64 packet = x91_dec_packet_of(self, buffer);
    if (self->restart || packet != self->next_packet) {
        GST_DEBUG_OBJECT(self, "restart at packet %" G_GUINT64_FORMAT, packet);
        x91_decoder_restart(self->decoder, packet);
    }
    self->next_packet = packet + 1;
    self->restart = FALSE;

    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_FLOW_ERROR;
    const x91_status status = x91_decoder_decode_packet(self->decoder, map.data, map.size);
    gst_buffer_unmap(buffer, &map);
    if (status == X91_ERR_TOO_DAMAGED) {
        GST_ELEMENT_WARNING(
            self, STREAM, DECODE,
            ("Too many damaged x91 packets in a row: the rest is not played."),
            ("packet %" G_GUINT64_FORMAT ": %s", packet, x91_decoder_last_error(self->decoder)));
        const GstFlowReturn played = x91_dec_finish(self, packet);
        return played == GST_FLOW_OK ? GST_FLOW_EOS : played;
    }
    if (status != X91_OK) {
        GST_ELEMENT_WARNING(
            self, STREAM, DECODE, ("Damaged x91 packet: %s.", x91_status_text(status)),
            ("packet %" G_GUINT64_FORMAT ": %s", packet, x91_decoder_last_error(self->decoder)));
    }
    return x91_dec_finish(self, packet);
}

static void x91_dec_flush(GstAudioDecoder* audio_decoder, gboolean hard) {
    X91Dec* self = (X91Dec*)audio_decoder;
    (void)hard;
    self->restart = TRUE;
}

static void x91_dec_class_init(X91DecClass* klass) {
    GST_DEBUG_CATEGORY_INIT(x91dec_debug, "x91dec", 0, "x91 audio decoder");
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(element_class, "x91 audio decoder", "Codec/Decoder/Audio",
                                          "Decodes x91 packets to 16-bit stereo PCM",
                                          "x91 developers");
    GstAudioDecoderClass* decoder_class = GST_AUDIO_DECODER_CLASS(klass);
    decoder_class->stop = x91_dec_stop;
    decoder_class->set_format = x91_dec_set_format;
    decoder_class->handle_frame = x91_dec_handle_frame;
    decoder_class->flush = x91_dec_flush;
}

static void x91_dec_init(X91Dec* self) {
    gst_audio_decoder_set_needs_format(GST_AUDIO_DECODER(self), TRUE);
    gst_audio_decoder_set_use_default_pad_acceptcaps(GST_AUDIO_DECODER(self), TRUE);
    GST_PAD_SET_ACCEPT_TEMPLATE(GST_AUDIO_DECODER_SINK_PAD(self));
}
