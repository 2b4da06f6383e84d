/* x91enc: encodes 16-bit stereo PCM at 44100 Hz into an x91 stream: the
 * header, the packets with their byte counts, and at the end of the stream
 * the end marker and, when the sink can seek (a file), the extension block
 * with the exact length and the pipeline's tags. Every output buffer is a
 * run of whole pieces of the file, so the stream written out as it comes is
 * the file. The header never changes after the audio, so the block needs
 * no rewriting: it simply follows the end marker. */
#include <gst/audio/gstaudioencoder.h>
#include <gst/tag/tag.h>
#include <x91/x91.h>

#include "x91elements.h"

GST_DEBUG_CATEGORY_STATIC(x91enc_debug);
#define GST_CAT_DEFAULT x91enc_debug

#define X91_BYTES_PER_FRAME (2 * X91_CHANNELS)

enum { PROP_0, PROP_QUALITY };

typedef struct {
    GstAudioEncoder parent;
    x91_encoder* encoder;
    gboolean finished; /* the end marker is out: later drains have nothing to add */
    gdouble quality;
    GstTagList* stream_tags; /* from upstream's tag events */
} X91Enc;

typedef struct {
    GstAudioEncoderClass parent_class;
} X91EncClass;

/* Applications set tags through GstTagSetter, as on every tagging encoder. */
G_DEFINE_TYPE_WITH_CODE(X91Enc, x91_enc, GST_TYPE_AUDIO_ENCODER,
                        G_IMPLEMENT_INTERFACE(GST_TYPE_TAG_SETTER, NULL))
GST_ELEMENT_REGISTER_DEFINE(x91enc, "x91enc", GST_RANK_SECONDARY, x91_enc_get_type())

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format = (string) S16LE, rate = (int) 44100, "
                    "channels = (int) 2, layout = (string) interleaved"));

static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS(X91_GST_MEDIA_TYPE ", rate = (int) 44100, "
                                                               "channels = (int) 2"));

static void x91_enc_release(X91Enc* self) {
    x91_encoder_destroy(self->encoder);
    self->encoder = NULL;
}

static gboolean x91_enc_stop(GstAudioEncoder* audio_encoder) {
    X91Enc* self = (X91Enc*)audio_encoder;
    x91_enc_release(self);
    gst_tag_list_replace(&self->stream_tags, NULL);
    gst_tag_setter_reset_tags(GST_TAG_SETTER(self));
    return TRUE;
}

/* Keeps the stream's tags for the block; the base class passes them on. */
static gboolean x91_enc_sink_event(GstAudioEncoder* audio_encoder, GstEvent* event) {
    X91Enc* self = (X91Enc*)audio_encoder;
    if (GST_EVENT_TYPE(event) == GST_EVENT_TAG) {
        GstTagList* tags = NULL;
        gst_event_parse_tag(event, &tags);
        if (gst_tag_list_get_scope(tags) == GST_TAG_SCOPE_STREAM) {
            GstTagList* merged = gst_tag_list_merge(self->stream_tags, tags, GST_TAG_MERGE_REPLACE);
            gst_tag_list_replace(&self->stream_tags, merged);
            if (merged) gst_tag_list_unref(merged);
        }
    }
    return GST_AUDIO_ENCODER_CLASS(x91_enc_parent_class)->sink_event(audio_encoder, event);
}

/* Hands the tags to the encoder as Vorbis comments (TITLE=..., ARTIST=...),
 * the form the block keeps; tags without such a name, or that the block
 * cannot carry, are left out. */
static void x91_enc_add_tags(X91Enc* self) {
    GstTagSetter* setter = GST_TAG_SETTER(self);
    GstTagList* tags = gst_tag_list_merge(self->stream_tags, gst_tag_setter_get_tag_list(setter),
                                          gst_tag_setter_get_tag_merge_mode(setter));
    if (tags == NULL) return;
    for (gint i = 0; i < gst_tag_list_n_tags(tags); ++i) {
        GList* comments = gst_tag_to_vorbis_comments(tags, gst_tag_list_nth_tag_name(tags, i));
        for (GList* c = comments; c != NULL; c = c->next) {
            gchar** parts = g_strsplit((const gchar*)c->data, "=", 2);
            if (parts[0] && parts[1] &&
                x91_encoder_add_tag(self->encoder, parts[0], parts[1]) != X91_OK)
                GST_WARNING_OBJECT(self, "tag %s left out: %s", (const gchar*)c->data,
                                   x91_encoder_last_error(self->encoder));
            g_strfreev(parts);
        }
        g_list_free_full(comments, g_free);
    }
    gst_tag_list_unref(tags);
}

/* The block goes where the file can hold it: a sink that seeks is a file,
 * while a stream's reader may stop at the end marker. */
static gboolean x91_enc_sink_seeks(X91Enc* self) {
    GstQuery* query = gst_query_new_seeking(GST_FORMAT_BYTES);
    gboolean seekable = FALSE;
    if (gst_pad_peer_query(GST_AUDIO_ENCODER_SRC_PAD(self), query))
        gst_query_parse_seeking(query, NULL, &seekable, NULL, NULL);
    gst_query_unref(query);
    return seekable;
}

static gboolean x91_enc_fail(X91Enc* self, const char* what) {
    GST_ELEMENT_ERROR(self, LIBRARY, SETTINGS, ("x91 encoder: %s.", what),
                      ("%s", self->encoder ? x91_encoder_last_error(self->encoder) : ""));
    return FALSE;
}

static gboolean x91_enc_set_format(GstAudioEncoder* audio_encoder, GstAudioInfo* info) {
    X91Enc* self = (X91Enc*)audio_encoder;
    (void)info; /* the pad template admits CD audio only */
    x91_enc_release(self);
    self->finished = FALSE;
    if (x91_encoder_create(&self->encoder) != X91_OK) return x91_enc_fail(self, "out of memory");
    if (x91_encoder_set_quality(self->encoder, self->quality) != X91_OK)
        return x91_enc_fail(self, "quality refused");
    GstCaps* caps = gst_caps_new_simple(X91_GST_MEDIA_TYPE, "rate", G_TYPE_INT, X91_SAMPLE_RATE,
                                        "channels", G_TYPE_INT, X91_CHANNELS, NULL);
    const gboolean set = gst_audio_encoder_set_output_format(audio_encoder, caps);
    gst_caps_unref(caps);
    return set;
}

/* The encoder's pieces ready, joined into one buffer; null when none is. */
static GstBuffer* x91_enc_take(X91Enc* self) {
    GstBuffer* out = NULL;
    for (;;) {
        const uint8_t* data = NULL;
        size_t size = 0;
        if (x91_encoder_take_output(self->encoder, &data, &size) != X91_OK || size == 0) break;
        GstBuffer* piece = gst_buffer_new_memdup(data, size);
        out = out ? gst_buffer_append(out, piece) : piece;
    }
    return out;
}

static GstFlowReturn x91_enc_handle_frame(GstAudioEncoder* audio_encoder, GstBuffer* buffer) {
    X91Enc* self = (X91Enc*)audio_encoder;
    if (self->encoder == NULL) return GST_FLOW_NOT_NEGOTIATED;
    x91_status status;
    if (buffer == NULL) {
        if (self->finished) return GST_FLOW_OK;
        self->finished = TRUE;
        const gboolean block = x91_enc_sink_seeks(self);
        GST_DEBUG_OBJECT(self, "extension block: %s", block ? "yes" : "no");
        x91_encoder_set_extension_block(self->encoder, block);
        if (block) x91_enc_add_tags(self);
        status = x91_encoder_finish(self->encoder);
    } else {
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_FLOW_ERROR;
        status = x91_encoder_push(self->encoder, (const int16_t*)map.data,
                                  map.size / X91_BYTES_PER_FRAME);
        gst_buffer_unmap(buffer, &map);
    }
    if (status != X91_OK) {
        x91_enc_fail(self, x91_status_text(status));
        return GST_FLOW_ERROR;
    }
    GstBuffer* out = x91_enc_take(self);
    if (out == NULL) return GST_FLOW_OK;
    /* Packets leave the encoder a packet or so after their audio came in:
     * an output stands for all the input taken since the one before. */
    return gst_audio_encoder_finish_frame(audio_encoder, out, -1);
}

static void x91_enc_set_property(GObject* object, guint id, const GValue* value,
                                 GParamSpec* param) {
    X91Enc* self = (X91Enc*)object;
    if (id == PROP_QUALITY)
        self->quality = g_value_get_double(value);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
}

static void x91_enc_get_property(GObject* object, guint id, GValue* value, GParamSpec* param) {
    X91Enc* self = (X91Enc*)object;
    if (id == PROP_QUALITY)
        g_value_set_double(value, self->quality);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
}

static void x91_enc_finalize(GObject* object) {
    X91Enc* self = (X91Enc*)object;
    x91_enc_release(self);
    gst_tag_list_replace(&self->stream_tags, NULL);
    G_OBJECT_CLASS(x91_enc_parent_class)->finalize(object);
}

static void x91_enc_class_init(X91EncClass* klass) {
    GST_DEBUG_CATEGORY_INIT(x91enc_debug, "x91enc", 0, "x91 audio encoder");
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = x91_enc_set_property;
    object_class->get_property = x91_enc_get_property;
    object_class->finalize = x91_enc_finalize;
    g_object_class_install_property(
        object_class, PROP_QUALITY,
        g_param_spec_double("quality", "Quality",
                            "Encoding quality in percent: higher gives larger, more faithful files",
                            X91_QUALITY_MIN, X91_QUALITY_MAX, X91_QUALITY_DEFAULT,
                            G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY));
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(element_class, "x91 audio encoder", "Codec/Encoder/Audio",
                                          "Encodes 16-bit stereo PCM at 44100 Hz to x91",
                                          "x91 developers");
    GstAudioEncoderClass* encoder_class = GST_AUDIO_ENCODER_CLASS(klass);
    encoder_class->stop = x91_enc_stop;
    encoder_class->set_format = x91_enc_set_format;
    encoder_class->handle_frame = x91_enc_handle_frame;
    encoder_class->sink_event = x91_enc_sink_event;
}

static void x91_enc_init(X91Enc* self) {
    self->quality = X91_QUALITY_DEFAULT;
}
