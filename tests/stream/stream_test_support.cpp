#include "stream/stream_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace x91test {

Bytes write_stream(const Pcm& pcm, bool block, const std::vector<x91::Tag>& tags,
                   const x91::EncoderOptions& options) {
    Bytes file;
    x91::StreamWriter writer([&file](const std::uint8_t* data, std::size_t size) {
        file.insert(file.end(), data, data + size);
        return true;
    });
    EXPECT_TRUE(writer.set_options(options).ok());
    EXPECT_TRUE(writer.set_extension_block(block).ok());
    for (const x91::Tag& tag : tags) EXPECT_TRUE(writer.add_tag(tag).ok());
    EXPECT_TRUE(writer.push(pcm.data(), pcm.size() / 2).ok());
    EXPECT_TRUE(writer.finish().ok());
    return file;
}

std::int64_t BytesSource::read(std::uint8_t* buffer, std::size_t size) {
    const std::size_t n = std::min({size, piece_, bytes_.size() - at_});
    if (n > 0) std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<std::int64_t>(n);
}

bool BytesSource::seek(std::uint64_t offset) {
    if (!seekable_ || offset > bytes_.size()) return false;
    at_ = static_cast<std::size_t>(offset);
    return true;
}

namespace {

void read_all(x91::StreamDecoder& decoder, Decoded& out, bool& needs_more) {
    std::vector<std::int16_t> pcm(2 * 5000);
    for (;;) {
        std::size_t frames = 0;
        const x91::Result outcome = decoder.read(pcm.data(), 5000, frames);
        if (!outcome) out.outcomes.push_back(outcome.message);
        out.pcm.insert(out.pcm.end(), pcm.begin(), pcm.begin() + static_cast<long>(2 * frames));
        if (frames == 0 && (decoder.ended() || outcome)) break;
    }
    needs_more = !decoder.ended();
}

}  // namespace

Decoded decode_stream(const Bytes& file, Feed feed, const x91::DecodeThreads& threads,
                      std::size_t max_piece, unsigned seed) {
    Decoded out;
    x91::StreamDecoder decoder;
    BytesSource source(file, feed == Feed::at_will, feed == Feed::one_pass ? 1000 : SIZE_MAX);
    bool needs_more = true;
    if (feed == Feed::pushed) {
        std::mt19937 rng(seed);
        std::size_t at = 0;
        bool threads_set = false;
        while (needs_more) {
            const std::size_t n = std::min(
                std::uniform_int_distribution<std::size_t>(0, max_piece)(rng), file.size() - at);
            x91::Result fed = decoder.feed(file.data() + at, n);
            at += n;
            if (fed && at == file.size()) fed = decoder.end_input();
            if (!fed) {
                out.outcomes.push_back(fed.message);
                return out;
            }
            if (decoder.settings()) {
                if (!threads_set) {
                    EXPECT_TRUE(decoder.set_threads(threads).ok());
                }
                threads_set = true;
                read_all(decoder, out, needs_more);
            }
            if (at == file.size() && !decoder.settings()) break;
        }
    } else {
        const x91::Result opened = decoder.open(source);
        if (!opened) {
            out.outcomes.push_back(opened.message);
            return out;
        }
        EXPECT_TRUE(decoder.set_threads(threads).ok());
        read_all(decoder, out, needs_more);
    }
    out.extension = decoder.extension().status;
    out.tags = decoder.info().tags;
    return out;
}

}  // namespace x91test
