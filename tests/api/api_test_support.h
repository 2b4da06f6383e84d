// Encoding and decoding through the C interface, for its tests.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "support/wav_bytes.h"
#include "x91/x91.h"

namespace x91test {

// The whole file the C encoder makes of pcm, pushed in pieces of `piece`
// frames (0: all at once); with `block`, the extension block ends it.
// `configure` gives further settings before the first push.
Bytes c_encode(const Pcm& pcm, std::size_t piece = 0, bool block = false,
               const std::function<void(x91_encoder*)>& configure = {});

// Everything x91_decoder_read gives from the decoder's position on, read in
// pieces of `piece` frames.
Pcm c_read_all(x91_decoder* decoder, std::size_t piece = 4096);

// Owns a decoder over a file in memory.
struct MemoryDecoder {
    explicit MemoryDecoder(const Bytes& file);
    ~MemoryDecoder();
    MemoryDecoder(const MemoryDecoder&) = delete;
    MemoryDecoder& operator=(const MemoryDecoder&) = delete;
    x91_decoder* decoder = nullptr;
};

}  // namespace x91test
