/* The x91 plugin: a type finder for x91 files, x91parse, x91dec and x91enc. */
#include "x91elements.h"

static gboolean plugin_init(GstPlugin* plugin) {
    gboolean ok = x91_typefind_register(plugin);
    ok &= GST_ELEMENT_REGISTER(x91parse, plugin);
    ok &= GST_ELEMENT_REGISTER(x91dec, plugin);
    ok &= GST_ELEMENT_REGISTER(x91enc, plugin);
    return ok;
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, x91, "x91 lossy audio for CD audio",
                  plugin_init, X91_VERSION, "LGPL", "x91", "x91 project")
