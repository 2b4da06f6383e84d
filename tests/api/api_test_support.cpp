#include "api/api_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace x91test {

Bytes c_encode(const Pcm& pcm, std::size_t piece, bool block,
               const std::function<void(x91_encoder*)>& configure) {
    x91_encoder* encoder = nullptr;
    EXPECT_EQ(x91_encoder_create(&encoder), X91_OK);
    EXPECT_EQ(x91_encoder_set_extension_block(encoder, block), X91_OK);
    if (configure) configure(encoder);
    Bytes file;
    auto take = [&] {
        const uint8_t* data = nullptr;
        size_t size = 0;
        while (x91_encoder_take_output(encoder, &data, &size) == X91_OK && size > 0)
            file.insert(file.end(), data, data + size);
    };
    const std::size_t frames = pcm.size() / 2;
    for (std::size_t at = 0; at < frames;) {
        const std::size_t n = piece == 0 ? frames : std::min(piece, frames - at);
        EXPECT_EQ(x91_encoder_push(encoder, pcm.data() + 2 * at, n), X91_OK);
        take();
        at += n;
    }
    EXPECT_EQ(x91_encoder_finish(encoder), X91_OK);
    take();
    x91_encoder_destroy(encoder);
    return file;
}

Pcm c_read_all(x91_decoder* decoder, std::size_t piece) {
    Pcm pcm;
    std::vector<int16_t> buffer(2 * piece);
    for (;;) {
        size_t got = 0;
        const x91_status status = x91_decoder_read(decoder, buffer.data(), piece, &got);
        EXPECT_EQ(status, X91_OK) << x91_decoder_last_error(decoder);
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + static_cast<long>(2 * got));
        if (got == 0 || status != X91_OK) return pcm;
    }
}

MemoryDecoder::MemoryDecoder(const Bytes& file) {
    EXPECT_EQ(x91_decoder_open_memory(&decoder, file.data(), file.size()), X91_OK);
}

MemoryDecoder::~MemoryDecoder() {
    x91_decoder_destroy(decoder);
}

}  // namespace x91test
