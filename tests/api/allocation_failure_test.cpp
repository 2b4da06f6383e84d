// The C encoder with each of its allocations in turn made to fail, in a
// tagged encode, and the C decoder of a pushed stream: every call returns
// X91_OK or X91_ERR_OUT_OF_MEMORY, what follows a handle's failure is
// refused, and a run without a failure gives the output of a run without the
// sweep. Below them, the library's encoder in runs on two threads, where a
// helper thread's failure must reach the caller. (Built with X91_ALLOC_FAIL;
// leaks show under AddressSanitizer.)
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "api/api_test_support.h"
#include "format/packet_framing.h"
#include "library/encoder.h"
#include "support/failing_allocator.h"
#include "support/test_signals.h"
#include "support/wav_bytes.h"
#include "x91/x91.h"

using namespace x91test;

namespace {

void add_tags(x91_encoder* encoder, x91_status& status) {
    status = x91_encoder_add_tag(encoder, "TITLE", "a title");
    if (status == X91_OK) status = x91_encoder_add_tag(encoder, "~X", "1");
}

// One tagged encode through the C interface, stopped at its first failure
// as a caller would stop. Empty when it ended as it may.
std::string encode_once(const Pcm& pcm, const Bytes& reference) {
    Bytes file;
    {
        const AllocationsUnwatched unwatched;
        file.reserve(reference.size());
    }
    x91_encoder* encoder = nullptr;
    x91_status failed = x91_encoder_create(&encoder);
    if (failed == X91_OK) add_tags(encoder, failed);
    // Any failure from here on is that of a call moving the stream on.
    const bool set_up = failed == X91_OK;
    const std::size_t frames = pcm.size() / 2;
    if (failed == X91_OK) failed = x91_encoder_push(encoder, pcm.data(), frames / 2);
    if (failed == X91_OK)
        failed = x91_encoder_push(encoder, pcm.data() + frames / 2 * 2, frames - frames / 2);
    if (failed == X91_OK) failed = x91_encoder_finish(encoder);
    const uint8_t* data = nullptr;
    size_t size = 0;
    while (failed == X91_OK &&
           (failed = x91_encoder_take_output(encoder, &data, &size)) == X91_OK && size > 0)
        file.insert(file.end(), data, data + size);

    // The verdict is the test's own work. A stream that ran out of memory
    // part way is not to be continued.
    const AllocationsUnwatched unwatched;
    const x91_status after =
        encoder != nullptr ? x91_encoder_take_output(encoder, &data, &size) : X91_OK;
    x91_encoder_destroy(encoder);
    if (failed == X91_OK) return file == reference ? "" : "a whole run gave another file";
    if (failed != X91_ERR_OUT_OF_MEMORY) return std::string("status ") + x91_status_text(failed);
    if (set_up && after != X91_ERR_INVALID_STATE)
        return std::string("then ") + x91_status_text(after);
    return "";
}

TEST(AllocationFailureTest, EveryAllocationOfATaggedEncodeMayFail) {
    // One packet of three blocks and a part: every stage, padding included.
    const Pcm pcm = music_like_signal(3 * X91_BLOCK_FRAMES + 300, 5);
    const Bytes reference = c_encode(pcm, 0, true, [](x91_encoder* encoder) {
        x91_status status = X91_OK;
        add_tags(encoder, status);
    });
    std::size_t runs = 0;
    const std::vector<std::string> problems =
        sweep_allocation_failures([&] { return encode_once(pcm, reference); }, runs);
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_GT(runs, 100u);
}

// One decode of a stream pushed in, as a pipe is read, stopped at its first
// failure. Empty when it ended as it may.
std::string decode_once(const Bytes& file, const Pcm& reference) {
    Pcm pcm;
    Pcm piece;
    {
        const AllocationsUnwatched unwatched;
        pcm.reserve(reference.size());
        piece.resize(2 * 4096);
    }
    x91_decoder* decoder = nullptr;
    x91_status failed = x91_decoder_open_push(&decoder);
    const bool opened = failed == X91_OK;
    if (failed == X91_OK) failed = x91_decoder_feed(decoder, file.data(), file.size());
    if (failed == X91_OK) failed = x91_decoder_feed_end(decoder);
    std::size_t frames = 1;
    while (failed == X91_OK && frames > 0) {
        failed = x91_decoder_read(decoder, piece.data(), 4096, &frames);
        if (pcm.size() + 2 * frames > reference.size()) return "more audio than a whole decode";
        pcm.insert(pcm.end(), piece.begin(), piece.begin() + static_cast<long>(2 * frames));
    }

    const AllocationsUnwatched unwatched;
    const x91_status after =
        opened ? x91_decoder_read(decoder, piece.data(), 4096, &frames) : X91_OK;
    x91_decoder_destroy(decoder);
    if (failed == X91_OK) return pcm == reference ? "" : "a whole run gave other audio";
    if (failed != X91_ERR_OUT_OF_MEMORY) return std::string("status ") + x91_status_text(failed);
    if (opened && after != X91_ERR_INVALID_STATE)
        return std::string("then ") + x91_status_text(after);
    return "";
}

TEST(AllocationFailureTest, EveryAllocationOfAPushedDecodeMayFail) {
    const Bytes file = c_encode(music_like_signal(3 * X91_BLOCK_FRAMES + 300, 5), 0, true);
    x91_decoder* decoder = nullptr;
    ASSERT_EQ(x91_decoder_open_memory(&decoder, file.data(), file.size()), X91_OK);
    const Pcm reference = c_read_all(decoder);
    x91_decoder_destroy(decoder);
    std::size_t runs = 0;
    const std::vector<std::string> problems =
        sweep_allocation_failures([&] { return decode_once(file, reference); }, runs);
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_GT(runs, 50u);
}

// Runs of one packet on two threads: the helper thread's allocations fail
// too, and its failure comes back to the caller as std::bad_alloc. Packets
// of two blocks make several runs of a few blocks.
x91::Result encode_in_runs(const Pcm& pcm, Bytes& file) {
    x91::EncoderOptions options;
    options.header.dsettings.group.frames = 2;
    x91::Encoder encoder(options, x91::Threading{2, 1});
    if (x91::Result pushed = encoder.push(pcm.data(), pcm.size() / 2); !pushed) return pushed;
    if (x91::Result finished = encoder.finish(); !finished) return finished;
    Bytes packet;
    while (encoder.next_packet(packet)) {
        const auto count = x91::packet_count_image(static_cast<std::int32_t>(packet.size()));
        file.insert(file.end(), count.begin(), count.end());
        file.insert(file.end(), packet.begin(), packet.end());
    }
    return {};
}

TEST(RunsAllocationFailureTest, EveryAllocationOfAnEncodeOnTwoThreadsMayFail) {
    const Pcm pcm = music_like_signal(5 * X91_BLOCK_FRAMES, 6);
    Bytes reference;
    ASSERT_TRUE(encode_in_runs(pcm, reference));
    std::size_t runs = 0;
    const std::vector<std::string> problems = sweep_allocation_failures(
        [&]() -> std::string {
            Bytes file;
            {
                const AllocationsUnwatched unwatched;
                file.reserve(reference.size());
            }
            bool ran_out = false;
            x91::Result result;
            try {
                result = encode_in_runs(pcm, file);
            } catch (const std::bad_alloc&) {
                ran_out = true;
            }
            const AllocationsUnwatched unwatched;
            if (ran_out) return "";
            if (!result) return result.message;
            return file == reference ? "" : "a whole run gave another file";
        },
        runs);
    EXPECT_EQ(problems, std::vector<std::string>{});
}

}  // namespace
