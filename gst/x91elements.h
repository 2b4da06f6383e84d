/* The elements and the type finder of the x91 GStreamer plugin. */
#ifndef X91_GST_ELEMENTS_H
#define X91_GST_ELEMENTS_H

#include <gst/gst.h>

G_BEGIN_DECLS

/* The media type of x91 files; x91parse adds parsed=true, the header as
 * codec_data, and rate and channels. */
#define X91_GST_MEDIA_TYPE "audio/x-x91"

gboolean x91_typefind_register(GstPlugin* plugin);
GST_ELEMENT_REGISTER_DECLARE(x91parse);
GST_ELEMENT_REGISTER_DECLARE(x91dec);
GST_ELEMENT_REGISTER_DECLARE(x91enc);

G_END_DECLS

#endif
