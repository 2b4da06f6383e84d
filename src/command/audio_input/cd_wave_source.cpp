#include "command/audio_input/cd_wave_source.h"

#include <bit>
#include <string>

#include "command/tag_names.h"

namespace x91::cli {

CdWaveSource::CdWaveSource(std::unique_ptr<da_WaveReader> reader)
    : reader_(std::move(reader)), tags_(tags_from_info(reader_->take_info())) {}

std::size_t CdWaveSource::read(std::int16_t* samples, std::size_t frames) {
    // Interleaved little-endian 16-bit samples as they stand in WAV data:
    // on a little-endian machine the samples' own bytes.
    if constexpr (std::endian::native == std::endian::little) {
        const int got =
            reader_->rawread(reinterpret_cast<char*>(samples), static_cast<int>(4 * frames));
        return static_cast<std::size_t>(got) / 4;
    } else {
        bytes_.resize(4 * frames);
        const int got = reader_->rawread(reinterpret_cast<char*>(bytes_.data()),
                                         static_cast<int>(bytes_.size()));
        const std::size_t count = static_cast<std::size_t>(got) / 2;
        for (std::size_t k = 0; k < count; ++k)
            samples[k] = static_cast<std::int16_t>(bytes_[2 * k] | bytes_[2 * k + 1] << 8);
        return count / 2;
    }
}

Result CdWaveSource::end_status() const {
    if (reader_->read_failed())
        return {Status::read_failed, "read failed: the file was cut short while it was read"};
    if (reader_->cut_short())
        return {Status::cut_short, "WAV data cut short; encoded the " +
                                       std::to_string(reader_->frames_read()) +
                                       " sample frames present"};
    return {};
}

}  // namespace x91::cli
