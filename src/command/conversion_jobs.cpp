#include "command/conversion_jobs.h"

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <mutex>
#include <new>
#include <sstream>
#include <string>

#include "command/cover_copy.h"
#include "command/file_identity.h"
#include "command/file_names.h"
#include "command/input_kind.h"
#include "command/output_mirror.h"
#include "command/progress_line.h"
#include "command/quality_file.h"
#include "command/skip_existing.h"
#include "command/std_streams.h"

namespace x91::cli {

namespace {

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

}  // namespace

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

}  // namespace x91::cli
