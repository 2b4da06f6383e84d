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
#include "command/console.h"
#include "command/conversions.h"
#include "command/file_identity.h"
#include "command/file_names.h"
#include "command/input_kind.h"
#include "command/job_runner.h"
#include "command/options.h"
#include "command/progress_display.h"
#include "command/progress_line.h"
#include "command/quality_file.h"
#include "command/std_streams.h"
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
    std::mutex mutex;

    // Conversions running at once show no progress of their own, only the
    // line finish_job() prints.
    ProgressDisplay display_for_job() const {
        return ProgressDisplay(parallel ? nullptr : progress, terminal);
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

// A job that runs one conversion and reports how it ended.
Job conversion_job(const char* verb, const Source& in, const std::string& out, RunConsole& console,
                   std::function<ConversionResult(ProgressDisplay& display)> convert) {
    auto work = [verb, in, out, &console, convert = std::move(convert)] {
        std::ostringstream errors;
        const Console job_console = console.for_job(errors);
        ConversionResult done{.result = same_file_refusal(in, out)};
        if (done.result) {
            ProgressDisplay display = console.display_for_job();
            done = convert(display);
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
    return conversion_job("encoding", in, out, console,
                          [in, out, &settings, &console](ProgressDisplay& display) {
                              return WaveToXFile(in, out, settings, display, console.threads);
                          });
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

// The job for one input: by its suffix, or, for standard input and for a
// name without a known suffix given with -o, by its first bytes.
Job job_for(const std::string& name, const Options& o, const EncodeSettings& settings,
            RunConsole& console, bool& stdin_used) {
    if (is_std_stream(name)) {
        if (stdin_used) return failing_job(name, "standard input can be read only once", console);
        stdin_used = true;
        if (was_closed_at_start(STDIN_FILENO))
            return failing_job(name, "standard input is closed", console);
        if (o.test) return test_job(Source(name, stdin, ""), o.quiet, console);
        const std::string out = o.output.value_or(kStdStreamName);
        const std::string start = take_start(stdin);
        // Whatever is not x91 data is audio for libsndfile to try.
        if (input_kind(start) == InputKind::x91)
            return decode_job(Source(name, stdin, start), out, o.raw, console);
        return encode_job(Source(name, stdin, start), out, settings, console);
    }
    if (o.test) return test_job(Source(name), o.quiet, console);
    const bool audio_name = is_audio_name(name);
    const bool x91_name = is_x91_name(name);
    if (!audio_name && !x91_name && !o.output)
        return failing_job(name, "not an audio or .x91 name, skipped", console);
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
    if (kind == InputKind::x91)
        return decode_job(source, o.output ? *o.output : wave_output_name(name), o.raw, console);
    return encode_job(source, o.output ? *o.output : x91_output_name(name), settings, console);
}

// What the run's encodings use. An explicit quality, or a bit rate, replaces
// the quality file, which is then not read.
EncodeSettings encode_settings(const Options& o, std::ostream* progress) {
    EncodeSettings settings;
    settings.plain = o.plain;
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
    RunConsole console{o.quiet ? nullptr : progress_stream,
                       on_terminal,
                       files_at_once > 1 && o.files.size() > 1,
                       pool,
                       {}};
    const EncodeSettings settings = encode_settings(o, console.progress);

    std::vector<Job> jobs;
    bool stdin_used = false;
    for (const std::string& name : o.files)
        jobs.push_back(job_for(name, o, settings, console, stdin_used));
    const int status = run_jobs(jobs, files_at_once, pool) ? 0 : 1;
    // Audio on standard output is the conversions' to report.
    return audio_to_stdout ? status : with_standard_output_written(status);
}

}  // namespace x91::cli
