// Pictures from image files: the MIME type told by the file's first bytes
// and, where its header gives them simply, the size and colour depth.
#pragma once

#include <string>

#include "command/cd_audio.h"
#include "x91/status.h"

namespace x91::cli {

// Sets mime_type, width, height, depth and colours from picture.data: JPEG,
// PNG, GIF and WebP are known; for any other image the MIME type is
// "application/octet-stream" and the numbers 0.
void describe_image(Picture& picture);

// The front cover (type 3) of an image file, described: ok, or read_failed
// "cannot read picture <name>: <reason>"; invalid_argument for an empty file.
Result picture_from_file(const std::string& name, Picture& picture);

}  // namespace x91::cli
