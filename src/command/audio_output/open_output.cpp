#include <sndfile.h>

#include <cctype>

#include "command/audio_output/pcm_sink.h"
#include "command/audio_output/sndfile_sink.h"
#include "command/audio_output/wave_sink.h"
#include "command/file_names.h"

namespace x91::cli {

namespace {

bool ends_with_any_case(const std::string& name, const std::string& suffix) {
    if (name.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[name.size() - suffix.size() + i]);
        if (std::tolower(c) != suffix[i]) return false;
    }
    return true;
}

// libsndfile's major format for an output name, 0 for WAV by the own writer.
int sndfile_format(const std::string& out) {
    if (ends_with_any_case(out, ".flac")) return SF_FORMAT_FLAC;
    if (ends_with_any_case(out, ".aiff") || ends_with_any_case(out, ".aif")) return SF_FORMAT_AIFF;
    if (ends_with_any_case(out, ".w64")) return SF_FORMAT_W64;
    return 0;
}

}  // namespace

Result open_pcm_sink(const std::string& out, const Output& output, std::int64_t expected_bytes,
                     const std::vector<Tag>& tags, std::unique_ptr<PcmSink>& sink) {
    const int format = is_std_stream(out) ? 0 : sndfile_format(out);
    // FLAC goes back to its STREAMINFO to finish it, AIFF and W64 to their
    // sizes: into a pipe or device that rewrite would land behind the audio.
    if (format != 0 && !output.rewindable())
        return {Status::write_failed,
                "cannot write: FLAC, AIFF and W64 are finished at their start, which a pipe or "
                "device cannot go back to"};
    if (format != 0) return SndfileSink::open(output.stream(), format, tags, sink);
    auto wave = std::make_unique<WaveSink>(output, expected_bytes, tags);
    Result status = wave->status();
    sink = std::move(wave);
    return status;
}

}  // namespace x91::cli
