#include "command/encode_settings.h"

#include "library/header_settings.h"

namespace x91::cli {

void use_encoder_options(const EncoderOptions& options, EncodeSettings& settings) {
    const HeaderSettings header = settings_from(options.header);
    settings.features = header.features;
    settings.dsettings = header.dsettings;
    settings.isettings = header.isettings;
    settings.tuned = options.tuned;
    settings.tuning = options.tuning;
}

void use_tuned_mode(float quality, EncodeSettings& settings) {
    EncoderOptions options;
    // Only a quality out of range is refused, and the options checked it.
    if (tuned_options(quality, options)) use_encoder_options(options, settings);
}

HeaderSettings header_settings(const EncodeSettings& settings) {
    return {settings.features, settings.dsettings, settings.isettings};
}

}  // namespace x91::cli
