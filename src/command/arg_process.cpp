#include "command/arg_process.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <ostream>
#include <string>
#include <vector>

#include "command/codec_handles.h"
#include "command/collection_plan.h"
#include "command/conversion_jobs.h"
#include "command/conversions.h"
#include "command/file_identity.h"
#include "command/file_names.h"
#include "command/job_runner.h"
#include "command/options.h"
#include "command/picture_file.h"
#include "command/progress_line.h"
#include "command/quality_file.h"
#include "command/replay_gain.h"
#include "command/run_console.h"
#include "command/run_progress.h"
#include "command/std_streams.h"
#include "command/x91_tag_tool.h"
#include "x91/x91.h"

namespace x91::cli {

namespace {

// The pictures of --picture for the encodes and the changes the editing
// options ask for, their pictures read: ok, or why a picture cannot be read.
Result read_pictures(const Options& o, EncodeSettings& settings, TagEdits& edits) {
    auto read_all = [](const std::vector<std::string>& names, std::vector<Picture>& pictures) {
        for (const std::string& name : names) {
            Picture picture;
            if (Result read = picture_from_file(name, picture); !read) return read;
            pictures.push_back(std::move(picture));
        }
        return Result{};
    };
    edits.remove_all = o.remove_all_tags;
    edits.remove = o.remove_tags;
    edits.set = o.set_tags;
    edits.export_picture = o.export_picture;
    if (Result read = read_all(o.pictures, settings.pictures); !read) return read;
    return read_all(o.import_pictures, edits.add_pictures);
}

// The inputs of the run's conversions, as they weigh in its progress.
std::vector<std::string> converted_inputs(const std::vector<PlannedInput>& plan) {
    std::vector<std::string> inputs;
    for (const PlannedInput& p : plan)
        if (p.refusal.empty() && !p.cover) inputs.push_back(p.input);
    return inputs;
}

// What the run's encodings use. An explicit quality, or a bit rate, replaces
// the quality file, which is then not read.
EncodeSettings encode_settings(const Options& o, std::ostream* progress) {
    EncodeSettings settings;
    settings.plain = o.plain;
    settings.picture_from_folder = o.picture_from_folder;
    settings.tags = o.tags;
    settings.tuned = o.tuned;
    if (o.test) return settings;
    std::ostream null_stream(nullptr);
    std::ostream& quality_out = progress ? *progress : null_stream;
    if (o.bitrate) {
        settings.bitrate = o.bitrate;
    } else if (o.quality) {
        settings.quality = *o.quality;
        print_quality_line(quality_out, *o.quality);
    } else if (const float q = use_quality_file(QUALITY_FILE, quality_out, std::cerr); q > 0.0f) {
        settings.quality = q;
    }
    return settings;
}

// Audio to standard output by its name "-".
bool names_stdout(const Options& o) {
    if (o.test) return false;
    if (o.output) return is_std_stream(*o.output);
    for (const std::string& name : o.files)
        if (is_std_stream(name)) return true;
    return false;
}

// Audio to standard output by any name, such as "-o /dev/stdout": no
// progress may go there then.
bool writes_stdout(const Options& o) {
    return names_stdout(o) || (!o.test && o.output &&
                               same_file(identify(*o.output), identify_descriptor(STDOUT_FILENO)));
}

// What the run wrote to standard output besides audio must have arrived
// there: otherwise the run failed, whatever became of its files.
int with_standard_output_written(int status) {
    if (flush_standard_output()) return status;
    std::cerr << "x91: -: " << standard_output_failure() << '\n';
    return 1;
}

}  // namespace

int arg_process(int argc, char** argv) {
    if (argc < 2) return 0;

    const ParsedOptions parsed = parse_options(argc, argv);
    if (!parsed.error.empty()) {
        std::cerr << "x91: " << parsed.error << '\n';
        if (parsed.show_usage) std::cerr << usage_text();
        return 1;
    }
    const Options& o = parsed.options;
    if (o.help) {
        std::cout << usage_text();
        return with_standard_output_written(0);
    }
    if (o.version) {
        std::cout << "x91 " << x91_version() << '\n';
        return with_standard_output_written(0);
    }
    const bool audio_to_stdout = writes_stdout(o);
    if (o.replay_gain && audio_to_stdout) {
        std::cerr << "x91: --replay-gain stores its values in the files it writes, which "
                     "standard output is not\n";
        return 1;
    }
    if (names_stdout(o) && was_closed_at_start(STDOUT_FILENO)) {
        std::cerr << "x91: -: standard output is closed\n";
        return 1;
    }
    if (audio_to_stdout && isatty(STDOUT_FILENO)) {
        std::cerr
            << "x91: will not write audio to a terminal; redirect standard output or use -o FILE\n";
        return 1;
    }

    // Progress never goes into audio on standard output.
    std::ostream* const progress_stream = audio_to_stdout ? &std::cerr : &std::cout;
    const bool on_terminal = isatty(audio_to_stdout ? STDERR_FILENO : STDOUT_FILENO);
    // -j N shares N threads among files at once; without it the files go
    // one after another, each on every processor there is.
    const int files_at_once = o.jobs.value_or(1);
    x91_threads* pool = nullptr;
    if (x91_threads_create(&pool, o.jobs.value_or(std::min(x91_available_threads(), kMaxJobs))) !=
        X91_OK) {
        std::cerr << "x91: " << x91_status_text(X91_ERR_OUT_OF_MEMORY) << '\n';
        return 1;
    }
    const ThreadsHandle threads(pool);
    const std::vector<PlannedInput> plan = plan_inputs(o);
    RunProgress run(converted_inputs(plan));
    RunConsole console{o.quiet ? nullptr : progress_stream,
                       on_terminal,
                       files_at_once > 1 && plan.size() > 1,
                       pool,
                       o.skip_existing,
                       o.output_dir.has_value(),
                       &run,
                       {},
                       {}};
    EncodeSettings settings = encode_settings(o, console.progress);
    TagEdits edits;
    if (Result read = read_pictures(o, settings, edits); !read) {
        std::cerr << "x91: " << read.message << '\n';
        return 1;
    }

    std::vector<Job> jobs;
    bool stdin_used = false;
    for (const PlannedInput& planned : plan)
        jobs.push_back(job_for(planned, o, settings, edits, console, stdin_used));
    int status = run_jobs(jobs, files_at_once, pool) ? 0 : 1;
    if (o.replay_gain) {
        for (const GainFailure& failed : apply_replay_gain(console.encoded, pool)) {
            std::cerr << "x91: " << failed.file << ": " << failed.reason.message << '\n';
            status = 1;
        }
    }
    // Audio on standard output is the conversions' to report.
    return audio_to_stdout ? status : with_standard_output_written(status);
}

}  // namespace x91::cli
