#include "command/audio_output/wave_sink.h"

#include <bit>

#include "command/tag_names.h"
#include "command/taglib_metadata.h"

namespace x91::cli {

namespace {

da_WaveWriter::Sizes sizes_for(const Output& output) {
    return output.rewindable() ? da_WaveWriter::Sizes::fixed_at_finish
                               : da_WaveWriter::Sizes::streamed;
}

}  // namespace

WaveSink::WaveSink(const Output& output, std::int64_t expected_bytes, const Metadata& metadata)
    : writer_(output.stream(), FORMAT_CDDA, sizes_for(output), expected_bytes,
              info_from_tags(metadata.tags),
              id3_chunk(tags_info_lacks(metadata.tags), metadata.pictures)) {}

void WaveSink::write(const std::int16_t* samples, std::size_t frames) {
    const std::size_t count = 2 * frames;
    // Interleaved little-endian 16-bit samples as WAV data holds them: on a
    // little-endian machine the samples' own bytes.
    if constexpr (std::endian::native == std::endian::little) {
        writer_.rawwrite(reinterpret_cast<const char*>(samples), static_cast<int>(2 * count));
    } else {
        bytes_.resize(2 * count);
        for (std::size_t k = 0; k < count; ++k) {
            const auto v = static_cast<std::uint16_t>(samples[k]);
            bytes_[2 * k] = static_cast<char>(v & 0xFF);
            bytes_[2 * k + 1] = static_cast<char>(v >> 8);
        }
        writer_.rawwrite(bytes_.data(), static_cast<int>(bytes_.size()));
    }
}

}  // namespace x91::cli
