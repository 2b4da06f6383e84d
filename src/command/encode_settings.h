// The encode settings of the library's encoder options: how --tuned and -b
// reach the command's encodings.
#pragma once

#include "command/conversions.h"
#include "format/checked_settings.h"
#include "library/codec.h"

namespace x91::cli {

// The header values and the mode of options replace those in settings.
void use_encoder_options(const EncoderOptions& options, EncodeSettings& settings);

// The tuned mode at a quality percentage already checked to be in range.
void use_tuned_mode(float quality, EncodeSettings& settings);

// The header settings an encoding with settings writes.
HeaderSettings header_settings(const EncodeSettings& settings);

}  // namespace x91::cli
