#include "command/collection_plan.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <set>

#include "command/collection_walk.h"
#include "command/file_names.h"
#include "command/output_mirror.h"

namespace x91::cli {

namespace {

bool is_folder(const std::string& name) {
    struct stat info {};
    return stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The output of input, found at `rel` below the folder given (its bare name
// for a file given itself); none when its content must decide.
std::optional<std::string> output_for(const std::string& input, const std::string& rel,
                                      const Options& o) {
    if (o.output) return o.output;
    const std::string format = o.format.value_or("wav");
    const bool mirror = o.output_dir.has_value();
    const std::string& name = mirror ? rel : input;
    std::string out;
    if (is_audio_name(name)) {
        out = x91_output_name(name);
    } else if (is_x91_name(name)) {
        out = decode_output_name(name, format, mirror);
    } else {
        return std::nullopt;
    }
    return mirror ? mirror_path(*o.output_dir, out) : out;
}

// The files of a walk that are outputs of others beside them: a.x91 of
// a.flac, a.x91.wav (or another decode format) of a.x91.
std::set<std::string> earlier_outputs(const std::vector<std::string>& files) {
    const std::set<std::string> present(files.begin(), files.end());
    std::set<std::string> outputs;
    for (const std::string& file : files) {
        if (is_audio_name(file) && present.count(x91_output_name(file)))
            outputs.insert(x91_output_name(file));
        if (is_x91_name(file))
            for (const char* format : {"wav", "flac", "aiff", "w64"})
                outputs.insert(decode_output_name(file, format, false));
    }
    return outputs;
}

bool taken_from_walk(const std::string& rel, const Options& o) {
    if (o.test) return is_x91_name(rel);
    if (is_cover_name(base_name_of(rel))) return o.output_dir.has_value();
    return true;
}

void plan_folder(const std::string& folder, const Options& o, std::vector<PlannedInput>& plan) {
    std::optional<FileIdentity::DeviceInode> output_folder;
    if (o.output_dir) output_folder = identify(*o.output_dir).id;
    const WalkResult walk = walk_collection(folder, output_folder);
    for (const auto& problem : walk.problems)
        plan.push_back({problem.folder, std::nullopt, false, problem.reason});
    const std::set<std::string> outputs = earlier_outputs(walk.files);
    for (const std::string& rel : walk.files) {
        if ((!o.test && outputs.count(rel)) || !taken_from_walk(rel, o)) continue;
        const std::string input = mirror_path(folder, rel);
        if (is_cover_name(base_name_of(rel)))
            plan.push_back({input, mirror_path(*o.output_dir, rel), true, ""});
        else
            plan.push_back({input, output_for(input, rel, o), false, ""});
    }
}

// With -r or -d, the later of two inputs with one output is refused.
void refuse_shared_outputs(std::vector<PlannedInput>& plan) {
    std::map<std::string, std::string> writer;
    for (PlannedInput& p : plan) {
        if (!p.refusal.empty() || !p.output || is_std_stream(*p.output)) continue;
        const std::string key = std::filesystem::path(*p.output).lexically_normal().string();
        const auto [it, added] = writer.emplace(key, p.input);
        if (!added)
            p.refusal = "its output '" + *p.output + "' is also that of '" + it->second +
                        "', converted instead";
    }
}

}  // namespace

std::vector<PlannedInput> plan_inputs(const Options& o) {
    std::vector<PlannedInput> plan;
    for (const std::string& name : o.files) {
        if (is_std_stream(name)) {
            plan.push_back({name, o.output, false, ""});
            if (o.output_dir && !o.test)
                plan.back().refusal = "standard input has no name to place under -d; use -o";
        } else if (o.recursive && is_folder(name)) {
            plan_folder(name, o, plan);
        } else if (is_folder(name) && !o.output && !is_audio_name(name) && !is_x91_name(name)) {
            plan.push_back({name, std::nullopt, false, "a folder; -r converts what it holds"});
        } else {
            plan.push_back({name, output_for(name, base_name_of(name), o), false, ""});
        }
    }
    if (o.recursive || o.output_dir) refuse_shared_outputs(plan);
    return plan;
}

}  // namespace x91::cli
