// The x91 format's numbers under the codec's own names. They are taken from
// the public constants, so that each is written once, in x91/constants.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "x91/constants.h"

namespace x91 {

inline constexpr int kSampleRate = X91_SAMPLE_RATE;
inline constexpr int kChannels = X91_CHANNELS;
inline constexpr int kBlockFrames = X91_BLOCK_FRAMES;
inline constexpr std::size_t kHeaderBytes = X91_HEADER_BYTES;
inline constexpr std::size_t kMaxPacketBytes = X91_MAX_PACKET_BYTES;
inline constexpr std::size_t kExtensionFooterBytes = X91_EXTENSION_FOOTER_BYTES;
inline constexpr std::size_t kMaxExtensionBytes = X91_MAX_EXTENSION_BYTES;
inline constexpr float kQualityMin = X91_QUALITY_MIN;
inline constexpr float kQualityMax = X91_QUALITY_MAX;
inline constexpr float kDefaultQuality = X91_QUALITY_DEFAULT;

}  // namespace x91
