// Plays arbitrary bytes through the plugin's parser and decoder in real
// GStreamer pipelines, from memory: read at will (pull mode, where the
// parser reads the extension block and walks every count first) and after
// a queue (push mode, the index built as packets pass). Whatever the bytes,
// each pipeline must end, with its end of stream or an error message,
// within a bound of time: a hang or a crash is the fault. The elements are
// compiled in and registered statically, so the target needs no plugin
// file and the sanitizers see their code.
#include <gio/gio.h>
#include <gst/gst.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "x91elements.h"

namespace {

// Longer than any input of the fuzz stage takes; beyond it the run hangs.
constexpr GstClockTime kPatience = 10 * GST_SECOND;

gboolean register_elements(GstPlugin* plugin) {
    return GST_ELEMENT_REGISTER(x91parse, plugin) && GST_ELEMENT_REGISTER(x91dec, plugin);
}

// Plays `data` through the pipeline until its end or an error.
void play(GstElement* pipeline, const std::uint8_t* data, std::size_t size) {
    GstElement* source = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    GInputStream* stream = g_memory_input_stream_new_from_data(data, size, nullptr);
    g_object_set(source, "stream", stream, nullptr);
    g_object_unref(stream);
    gst_object_unref(source);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus, kPatience, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (end == nullptr) std::abort();  // the pipeline hangs
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
}

GstElement* pipelines[2];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    gst_init(argc, argv);
    if (!gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "x91",
                                    "x91 elements for fuzzing", register_elements, "1", "LGPL",
                                    "x91", "x91", "x91"))
        std::abort();
    const char* descriptions[] = {
        "giostreamsrc name=src ! x91parse ! x91dec ! fakesink sync=false",
        "giostreamsrc name=src ! queue ! x91parse ! x91dec ! fakesink sync=false",
    };
    for (int i = 0; i < 2; ++i) {
        pipelines[i] = gst_parse_launch(descriptions[i], nullptr);
        if (pipelines[i] == nullptr) std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (GstElement* pipeline : pipelines) play(pipeline, data, size);
    return 0;
}
