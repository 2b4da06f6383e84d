#include "command/output_mirror.h"

#include <filesystem>
#include <system_error>

#include "command/file_names.h"

namespace x91::cli {

std::string decode_output_name(const std::string& x91_name, const std::string& format,
                               bool in_mirror) {
    if (!in_mirror) return x91_name + "." + format;
    return x91_name.substr(0, x91_name.size() - std::string(".x91").size()) + "." + format;
}

std::string mirror_path(const std::string& dir, const std::string& rel) {
    if (dir.empty() || dir.back() == '/') return dir + rel;
    return dir + "/" + rel;
}

Result make_output_folders(const std::string& output) {
    const std::string folder = directory_of(output);
    if (folder.empty()) return {};
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error) return {};
    return {Status::write_failed, "cannot create folder '" + folder + "': " + error.message()};
}

}  // namespace x91::cli
