// Runs GStreamer pipelines for the plugin's tests: the plugin from the build
// tree, PCM and bytes collected from an appsink, seeks, and the warnings and
// errors a pipeline posts.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/wav_bytes.h"

namespace x91test {

// Initialises GStreamer with the plugin of this build; false (with the
// reason in *why) when the plugin cannot be loaded.
bool gst_ready(std::string* why);

struct PipelineRun {
    Bytes data;                     // what reached the appsink named "sink"
    std::uint64_t first_frame = 0;  // of the first buffer, from its timestamp
    // The durations of every buffer, added up, in frames; -1 when a buffer
    // came without one.
    std::int64_t duration_frames = 0;
    int warnings = 0;
    std::string error;  // empty unless the pipeline failed
};

// Runs `description` (which ends in an appsink named "sink") to its end.
// With seek_frame, the pipeline first prerolls, then seeks there (flushing,
// accurate) and plays from there.
PipelineRun run_pipeline(const std::string& description, const std::uint64_t* seek_frame = nullptr);

// The pipeline's duration in frames once prerolled; -1 when unknown.
std::int64_t pipeline_duration(const std::string& description);

// Pushes pcm through an appsrc named "src" at the start of `description`.
PipelineRun run_with_source(const std::string& description, const Pcm& pcm);

}  // namespace x91test
