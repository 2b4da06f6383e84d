#include "gst/gst_pipeline.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace x91test {

namespace {

std::uint64_t time_to_frames(GstClockTime time) {
    return gst_util_uint64_scale_round(time, 44100, GST_SECOND);
}

// Notes the warnings and the error among the pipeline's messages; true
// once the pipeline has failed.
bool read_bus(GstElement* pipeline, PipelineRun& run) {
    GstBus* bus = gst_element_get_bus(pipeline);
    while (GstMessage* message = gst_bus_pop(bus)) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING) ++run.warnings;
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError* error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            run.error = error ? error->message : "error";
            g_clear_error(&error);
        }
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    return !run.error.empty();
}

// Takes every sample the appsink gets until the end of the stream, or until
// the pipeline fails or stalls for a minute: a hang fails the test instead
// of blocking it.
void drain(GstElement* pipeline, GstAppSink* sink, PipelineRun& run) {
    bool first = true;
    GstClockTime durations = 0;
    bool timed = true;
    for (int idle = 0; idle < 600;) {
        GstSample* sample = gst_app_sink_try_pull_sample(sink, GST_SECOND / 10);
        if (sample == nullptr) {
            if (gst_app_sink_is_eos(sink) || read_bus(pipeline, run)) break;
            ++idle;
            continue;
        }
        idle = 0;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (first && GST_BUFFER_PTS_IS_VALID(buffer))
            run.first_frame = time_to_frames(GST_BUFFER_PTS(buffer));
        first = false;
        timed = timed && GST_BUFFER_DURATION_IS_VALID(buffer);
        if (timed) durations += GST_BUFFER_DURATION(buffer);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            run.data.insert(run.data.end(), map.data, map.data + map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    run.duration_frames = timed ? static_cast<std::int64_t>(time_to_frames(durations)) : -1;
    if (!gst_app_sink_is_eos(sink) && run.error.empty()) run.error = "the stream stalled";
    read_bus(pipeline, run);
}

GstElement* launch(const std::string& description, PipelineRun& run) {
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (error) {
        run.error = error->message;
        g_clear_error(&error);
        if (pipeline) gst_object_unref(pipeline);
        return nullptr;
    }
    return pipeline;
}

GstAppSink* sink_of(GstElement* pipeline) {
    return GST_APP_SINK(gst_bin_get_by_name(GST_BIN(pipeline), "sink"));
}

// Waits for the state change to finish; false when it failed.
bool settle(GstElement* pipeline) {
    return gst_element_get_state(pipeline, nullptr, nullptr, 30 * GST_SECOND) !=
           GST_STATE_CHANGE_FAILURE;
}

}  // namespace

bool gst_ready(std::string* why) {
    static const bool ready = [] {
        setenv("GST_PLUGIN_PATH", X91_GST_PLUGIN_DIR, 1);
        // A registry of its own, so that the build's plugin is the one seen.
        const std::string registry = testing::TempDir() + "x91-gst-tests-registry.bin";
        setenv("GST_REGISTRY", registry.c_str(), 1);
        return gst_init_check(nullptr, nullptr, nullptr) == TRUE;
    }();
    if (!ready) {
        *why = "GStreamer cannot be initialised";
        return false;
    }
    const char* needed[] = {"x91parse", "x91dec",  "x91enc",    "appsink",
                            "appsrc",   "filesrc", "decodebin", "audioconvert"};
    for (const char* name : needed) {
        GstElementFactory* factory = gst_element_factory_find(name);
        if (factory == nullptr) {
            *why = std::string("the GStreamer element ") + name + " is not installed";
            return false;
        }
        gst_object_unref(factory);
    }
    return true;
}

PipelineRun run_pipeline(const std::string& description, const std::uint64_t* seek_frame) {
    PipelineRun run;
    GstElement* pipeline = launch(description, run);
    if (pipeline == nullptr) return run;
    GstAppSink* sink = sink_of(pipeline);
    if (seek_frame) {
        gst_element_set_state(pipeline, GST_STATE_PAUSED);
        // The first instant of the frame: times round up to whole frames.
        const GstClockTime at = gst_util_uint64_scale_ceil(*seek_frame, GST_SECOND, 44100);
        if (!settle(pipeline) ||
            !gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                     GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                     static_cast<gint64>(at)))
            run.error = "seek refused";
    }
    if (run.error.empty()) {
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        drain(pipeline, sink, run);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return run;
}

std::int64_t pipeline_duration(const std::string& description) {
    PipelineRun run;
    GstElement* pipeline = launch(description, run);
    if (pipeline == nullptr) return -1;
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    gint64 duration = -1;
    if (!settle(pipeline) || !gst_element_query_duration(pipeline, GST_FORMAT_TIME, &duration))
        duration = -1;
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return duration < 0 ? -1 : static_cast<std::int64_t>(time_to_frames(duration));
}

PipelineRun run_with_source(const std::string& description, const Pcm& pcm) {
    PipelineRun run;
    GstElement* pipeline = launch(description, run);
    if (pipeline == nullptr) return run;
    GstAppSink* sink = sink_of(pipeline);
    GstAppSrc* src = GST_APP_SRC(gst_bin_get_by_name(GST_BIN(pipeline), "src"));
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    // Uneven pieces, as a real source gives them.
    constexpr std::size_t kPiece = 2 * 1234;
    for (std::size_t at = 0; at < pcm.size(); at += kPiece) {
        const std::size_t n = std::min(kPiece, pcm.size() - at);
        GstBuffer* buffer = gst_buffer_new_memdup(pcm.data() + at, 2 * n);
        gst_app_src_push_buffer(src, buffer);
    }
    gst_app_src_end_of_stream(src);
    drain(pipeline, sink, run);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(src);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return run;
}

}  // namespace x91test
