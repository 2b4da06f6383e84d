#include "command/audio_input/input_change.h"

#include "command/cd_audio.h"

namespace x91::cli {

namespace {

// The depth of a sample as the input holds it, as people name it.
std::string depth_name(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return "8-bit";
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_ALAC_16:
            return "16-bit";
        case SF_FORMAT_ALAC_20:
            return "20-bit";
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_ALAC_24:
            return "24-bit";
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_ALAC_32:
            return "32-bit";
        case SF_FORMAT_FLOAT:
            return "32-bit float";
        case SF_FORMAT_DOUBLE:
            return "64-bit float";
        default:
            return "coded";  // mu-law, ADPCM and the like: decoded, then reduced
    }
}

}  // namespace

std::string input_change(const SF_INFO& info) {
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    // 8-bit audio is widened without a change of its sound.
    const bool depth_kept =
        subtype == SF_FORMAT_PCM_16 || subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8;
    const bool mono = info.channels == 1;
    if (info.samplerate == kSampleRate && depth_kept && !mono) return "";
    return std::to_string(info.samplerate) + " Hz " + depth_name(subtype) + (mono ? " mono" : "") +
           " converted to " + std::to_string(kSampleRate) + " Hz 16-bit" + (mono ? " stereo" : "");
}

}  // namespace x91::cli
