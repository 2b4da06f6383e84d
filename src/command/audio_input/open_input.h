// Opens an input for encoding by what it holds. A WAV file of CD audio goes
// through the codec's own reader, as it always has, whether it is a file or
// a stream; every other input, or a WAV file in another format, through
// libsndfile.
#pragma once

#include <memory>

#include "command/audio_input/pcm_source.h"
#include "command/source.h"

namespace x91::cli {

// ok with source set, or the reason the input cannot be encoded: the own
// reader's for a WAV file it cannot read (cut short, no data chunk, ...),
// "cannot open: <reason>", or libsndfile's refusal.
Result open_pcm_source(const Source& in, std::unique_ptr<PcmSource>& source);

}  // namespace x91::cli
