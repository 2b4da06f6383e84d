#include "command/arg_process.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>
#include <string>

#include "command/codec_handles.h"
#include "command/collection_plan.h"
#include "command/console.h"
#include "command/conversions.h"
#include "command/cover_copy.h"
#include "command/file_identity.h"
#include "command/file_names.h"
#include "command/input_kind.h"
#include "command/job_runner.h"
#include "command/options.h"
#include "command/output_mirror.h"
#include "command/picture_file.h"
#include "command/progress_display.h"
#include "command/progress_line.h"
#include "command/quality_file.h"
#include "command/replay_gain.h"
#include "command/run_progress.h"
#include "command/skip_existing.h"
#include "command/std_streams.h"
#include "command/x91_tag_tool.h"
#include "x91/x91.h"

namespace x91::cli {

namespace {

// Where the messages of the whole run go, and the lock that keeps the lines
// of conversions running at once from mixing; and the threads the run's
// conversions share.
struct RunConsole {
    std::ostream* progress;  // null with --quiet
    bool terminal;           // progress goes to a terminal
    bool parallel;
    x91_threads* threads;
    // --skip-existing, and -d (whose outputs need their folders made).
    bool skip_existing;
    bool makes_folders;
    // How far the run has come, for the progress of each file.
    RunProgress* run;
    std::mutex mutex;
    // The files the encodes wrote, as they finish (kept for --replay-gain).
    std::vector<std::string> encoded;

    // Conversions running at once show no progress of their own, only the
    // line finish_job() prints.
    // Its notes go where its problems go, unless --quiet.
    ProgressDisplay display_for_job(std::ostringstream& errors, int file_number) const {
        return ProgressDisplay(parallel ? nullptr : progress, terminal,
                               progress ? for_job(errors).errors : nullptr, run, file_number);
    }

    // Where one conversion's problems go: standard error when conversions
    // run one after another; with several at once, `errors`, printed whole
    // when the conversion ends.
    Console for_job(std::ostringstream& errors) const {
        return Console{parallel ? &errors : &std::cerr};
    }

    void finish_job(const std::ostringstream& errors, const std::string& line) {
        if (!parallel) return;
        std::lock_guard lock(mutex);
        if (progress && !line.empty()) {
            *progress << line;
            flush_stream(*progress);
        }
        std::cerr << errors.str() << std::flush;
    }

    // Runs a job's work. Memory may run out anywhere in it, also while its
    // outcome is reported: the job then fails with a line written without
    // taking memory, and the run goes on with the next file.
    bool fail_when_out_of_memory(const std::string& name, const std::function<bool()>& work) {
        try {
            return work();
        } catch (const std::bad_alloc&) {
            std::lock_guard lock(mutex);
            std::fputs("x91: ", stderr);
            std::fputs(name.c_str(), stderr);
            std::fputs(": out of memory\n", stderr);
            return false;
        }
    }
};

// "encoding : 'a.wav' to : 'a.x91' done.  12 seconds  [ avg bitrate : N bits/sec ]"
std::string finished_line(const char* verb, const std::string& in, const std::string& out,
                          const ConversionStats& stats) {
    std::ostringstream line;
    if (stats.chosen_quality) print_quality_line(line, static_cast<float>(*stats.chosen_quality));
    line << verb << " : '" << in << "' to : '" << out << "' done.";
    if (stats.time_count > 0) {
        line << "  ";
        print_progress_line(line, stats.time_count, stats.byte_count);
        std::string text = line.str();
        text.pop_back();  // the carriage return that redraws a progress line
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text + '\n';
    }
    return line.str() + '\n';
}

// Writing the input over itself would empty or replace it before it is
// read, whichever names lead to it: refused before either is opened. Only a
// regular file is lost so; a socket may well be both standard input and
// output.
Result same_file_refusal(const Source& in, const std::string& out) {
    const FileIdentity input =
        in.stream ? identify_descriptor(fileno(in.stream)) : identify(in.name);
    if (!input.regular) return {};
    const FileIdentity output =
        is_std_stream(out) ? identify_descriptor(STDOUT_FILENO) : identify(out);
    if (!same_file(input, output)) return {};
    return {Status::invalid_argument, "the output '" + out + "' is this same file"};
}

// With --skip-existing, an output newer than its input is left alone, said
// once (unless --quiet).
bool skipped_as_up_to_date(const Source& in, const std::string& out, RunConsole& console) {
    if (!console.skip_existing || in.stream || is_std_stream(out) ||
        !output_up_to_date(in.name, out))
        return false;
    console.run->skip_file(in.name);
    std::ostringstream errors;
    if (console.progress) console.for_job(errors).note(in.name, out + " is up to date, skipped");
    console.finish_job(errors, "");
    return true;
}

// What stops a job before its input is read: the output would overwrite
// the input, or its folder in the mirror cannot be made.
Result output_refusal(const Source& in, const std::string& out, const RunConsole& console) {
    Result refused = same_file_refusal(in, out);
    if (refused && console.makes_folders && !is_std_stream(out)) refused = make_output_folders(out);
    return refused;
}

// A job that runs one conversion and reports how it ended.
Job conversion_job(const char* verb, const Source& in, const std::string& out, RunConsole& console,
                   std::function<ConversionResult(ProgressDisplay& display)> convert) {
    auto work = [verb, in, out, &console, convert = std::move(convert)] {
        if (skipped_as_up_to_date(in, out, console)) return true;
        std::ostringstream errors;
        const Console job_console = console.for_job(errors);
        ConversionResult done{.result = output_refusal(in, out, console)};
        if (done.result) {
            ProgressDisplay display =
                console.display_for_job(errors, console.run->begin_file(in.name));
            done = convert(display);
            console.run->end_file();
        }
        job_console.report(in.name, out, done);
        console.finish_job(errors,
                           done.result ? finished_line(verb, in.name, out, done.stats) : "");
        return done.result.ok();
    };
    return Job{is_std_stream(in.name) ? "" : in.name, is_std_stream(out) ? "" : out,
               [name = in.name, &console, work = std::move(work)] {
                   return console.fail_when_out_of_memory(name, work);
               }};
}

Job encode_job(const Source& in, const std::string& out, const EncodeSettings& settings,
               RunConsole& console) {
    Job job = conversion_job("encoding", in, out, console,
                             [in, out, &settings, &console](ProgressDisplay& display) {
                                 return WaveToXFile(in, out, settings, display, console.threads);
                             });
    // A file --skip-existing leaves alone is not rewritten by --replay-gain
    // either: a rerun over a converted tree changes nothing.
    job.run = [run = std::move(job.run), in, out, &console] {
        const bool skipped = console.skip_existing && !in.stream && !is_std_stream(out) &&
                             output_up_to_date(in.name, out);
        const bool made = run();
        if (made && !skipped) {
            std::lock_guard lock(console.mutex);
            console.encoded.push_back(out);
        }
        return made;
    };
    return job;
}

Job decode_job(const Source& in, const std::string& out, bool raw, RunConsole& console) {
    return conversion_job("decoding", in, out, console,
                          [in, out, raw, &console](ProgressDisplay& display) {
                              return XFileToWave(in, out, raw, display, console.threads);
                          });
}

Job failing_job(const std::string& name, const std::string& reason, RunConsole& console) {
    return Job{"", "", [name, reason, &console] {
                   return console.fail_when_out_of_memory(name, [&] {
                       std::ostringstream errors;
                       console.for_job(errors).problem(name, reason);
                       console.finish_job(errors, "");
                       return false;
                   });
               }};
}

// A cover image of -r copied into the mirror of -d; a mirror onto the
// folder itself (-d naming the folder given) has it in place already.
Job cover_job(const std::string& in, const std::string& out, RunConsole& console) {
    auto work = [in, out, &console] {
        if (same_file(identify(in), identify(out))) return true;
        if (skipped_as_up_to_date(in, out, console)) return true;
        std::ostringstream errors;
        ConversionResult done{.result = output_refusal(in, out, console)};
        if (done.result) done.result = copy_cover(in, out);
        console.for_job(errors).report(in, out, done);
        console.finish_job(errors, "");
        return done.result.ok();
    };
    return Job{in, out, [in, &console, work = std::move(work)] {
                   return console.fail_when_out_of_memory(in, work);
               }};
}

// -t: one verdict line per file on standard output; with --quiet only the
// files that are not intact.
Job test_job(const Source& in, bool quiet, RunConsole& console) {
    auto work = [in, quiet, &console] {
        Result check;
        try {
            check = TestXFile(in, console.threads);
        } catch (const std::bad_alloc&) {
            check = out_of_memory();
        }
        const bool passed = check_passed(check);
        if (!passed || !quiet) {
            std::lock_guard lock(console.mutex);
            std::cout << in.name << ": " << check_verdict(check) << '\n';
            static_cast<void>(flush_standard_output());
        }
        return passed;
    };
    return Job{"", "", [name = in.name, &console, work = std::move(work)] {
                   return console.fail_when_out_of_memory(name, work);
               }};
}

// --list and the editing options on one x91 file: the changes, then the
// listing; a failure is reported on its own line.
Job tag_tool_job(const std::string& name, const Options& o, const TagEdits& edits,
                 RunConsole& console) {
    auto work = [name, &o, &edits, &console] {
        Result done;
        std::string listing;
        try {
            if (o.edits()) done = EditXFile(name, edits, console.threads);
            if (done && o.list) done = ListXFile(name, console.threads, listing);
        } catch (const std::bad_alloc&) {
            done = out_of_memory();
        }
        std::lock_guard lock(console.mutex);
        if (!done) std::cerr << "x91: " << name << ": " << done.message << '\n';
        std::cout << listing;
        static_cast<void>(flush_standard_output());
        return done.ok();
    };
    return Job{"", "", [name, &console, work = std::move(work)] {
                   return console.fail_when_out_of_memory(name, work);
               }};
}

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

// A decode, unless the command line asks what a decode cannot do: tags and
// pictures are stored by encodes (a decode writes the file's own), and an
// output named .x91 would hold audio under the name of x91 data.
Job decode_or_refuse(const Source& source, const std::string& out, const Options& o,
                     RunConsole& console) {
    if (!o.tags.empty() || !o.pictures.empty())
        return failing_job(
            source.name, "tags and pictures are given for encodes; a decode writes the file's own",
            console);
    // (The input as its own output has its own refusal.)
    if (is_x91_name(out) && !same_file(identify(out), identify(source.name)))
        return failing_job(source.name, "will not decode to " + out + ": that names x91 data",
                           console);
    return decode_job(source, out, o.raw, console);
}

// The job for one input: by its suffix, or, for standard input and for a
// name without a known suffix given with -o, by its first bytes.
Job job_for(const PlannedInput& planned, const Options& o, const EncodeSettings& settings,
            const TagEdits& edits, RunConsole& console, bool& stdin_used) {
    const std::string& name = planned.input;
    if (!planned.refusal.empty()) return failing_job(name, planned.refusal, console);
    if (o.list || o.edits()) {
        if (is_std_stream(name))
            return failing_job(name, "--list and the editing options take named x91 files",
                               console);
        return tag_tool_job(name, o, edits, console);
    }
    if (planned.cover) return cover_job(name, *planned.output, console);
    if (is_std_stream(name)) {
        if (stdin_used) return failing_job(name, "standard input can be read only once", console);
        stdin_used = true;
        if (was_closed_at_start(STDIN_FILENO))
            return failing_job(name, "standard input is closed", console);
        if (o.test) return test_job(Source(name, stdin, ""), o.quiet, console);
        const std::string out = planned.output.value_or(kStdStreamName);
        const std::string start = take_start(stdin);
        // Whatever is not x91 data is audio for libsndfile to try.
        if (input_kind(start) == InputKind::x91)
            return decode_or_refuse(Source(name, stdin, start), out, o, console);
        return encode_job(Source(name, stdin, start), out, settings, console);
    }
    if (o.test) return test_job(Source(name), o.quiet, console);
    const bool audio_name = is_audio_name(name);
    const bool x91_name = is_x91_name(name);
    if (!planned.output) return failing_job(name, "not an audio or .x91 name, skipped", console);
    // A named pipe (or another file that is read once) is opened now and
    // its first bytes kept, so that the reader that takes it over sees
    // them; a regular file is opened by its converter.
    Source source(name);
    InputKind kind = audio_name ? InputKind::wave : x91_name ? InputKind::x91 : InputKind::unknown;
    if (is_read_once(name) || !(audio_name || x91_name)) {
        InputKind content = InputKind::unknown;
        if (Result opened = open_by_content(name, source, content); !opened)
            return failing_job(name, opened.message, console);
        // Without a known suffix the content decides; whatever is not x91
        // data is audio for libsndfile to try.
        if (!(audio_name || x91_name)) kind = content == InputKind::x91 ? content : InputKind::wave;
    }
    // Without a known suffix the output is that of -o, whatever the content.
    if (kind == InputKind::x91) return decode_or_refuse(source, *planned.output, o, console);
    return encode_job(source, *planned.output, settings, console);
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
