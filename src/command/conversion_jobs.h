// The jobs of a run, one per input: an encode, a decode, a check, a listing
// or edit of an x91 file, a cover copied, or a refusal; each reports how it
// ended through the run's console.
#pragma once

#include "command/collection_plan.h"
#include "command/conversions.h"
#include "command/job_runner.h"
#include "command/options.h"
#include "command/run_console.h"
#include "command/x91_tag_tool.h"

namespace x91::cli {

// The job for one input: by its suffix, or, for standard input and for a
// name without a known suffix given with -o, by its first bytes.
// `stdin_used` is set by the first job that takes standard input.
Job job_for(const PlannedInput& planned, const Options& o, const EncodeSettings& settings,
            const TagEdits& edits, RunConsole& console, bool& stdin_used);

}  // namespace x91::cli
