// --picture-from-folder: the cover image in an audio file's folder.
#pragma once

#include <optional>
#include <string>

namespace x91::cli {

// The cover image beside audio_path (see is_cover_name): of several, the
// first of cover.*, front.*, folder.*, then in byte order of their names;
// none when the folder holds none or cannot be read.
std::optional<std::string> folder_cover(const std::string& audio_path);

}  // namespace x91::cli
