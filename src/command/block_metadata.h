// The tags and pictures of the library's extension block as the command's
// Metadata, read from a decoder or a block on its own, and pictures handed
// back to the library.
#pragma once

#include "command/cd_audio.h"
#include "x91/x91.h"

namespace x91::cli {

Metadata decoder_metadata(const x91_decoder* decoder);
Metadata block_metadata(const x91_block* block);

// The library's view of picture, pointing into it.
x91_picture library_picture(const Picture& picture);

}  // namespace x91::cli
