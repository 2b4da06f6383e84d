/* Recognises x91 files by a whole header a decoder can run with: the three
 * letters alone would also match text that happens to start with them. */
#include <x91/x91.h>

#include "x91elements.h"

static void x91_typefind(GstTypeFind* find, gpointer caps) {
    const guint8* data = gst_type_find_peek(find, 0, X91_HEADER_BYTES);
    if (data != NULL && x91_probe(data, X91_HEADER_BYTES) == X91_OK)
        gst_type_find_suggest(find, GST_TYPE_FIND_MAXIMUM, (GstCaps*)caps);
}

gboolean x91_typefind_register(GstPlugin* plugin) {
    GstCaps* caps = gst_caps_new_empty_simple(X91_GST_MEDIA_TYPE);
    const gboolean ok = gst_type_find_register(plugin, "x91", GST_RANK_PRIMARY, x91_typefind, "x91",
                                               caps, caps, (GDestroyNotify)gst_caps_unref);
    return ok;
}
