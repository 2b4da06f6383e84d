// The C encoder with each of its allocations in turn made to fail, in a
// tagged encode: every call returns X91_OK or X91_ERR_OUT_OF_MEMORY, what
// follows an encoder's failure is refused, and a run without a failure gives
// the file of a run without the sweep. Below it, the library's encoder in runs on two
// threads, where a helper thread's failure must reach the caller. (Built
// with X91_ALLOC_FAIL; leaks show under AddressSanitizer.)
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "api/api_test_support.h"
#include "library/codec.h"
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

// Runs of one packet on two threads: the helper thread's allocations fail
// too, and its failure comes back to the caller as std::bad_alloc. Packets
// of two blocks make several runs of a few blocks.
x91::Result encode_in_runs(const Pcm& pcm, Bytes& file) {
    x91::Header header;
    header.frames_per_packet = 2;
    x91::Encoder encoder(header, x91::Threading{2, 1});
    if (x91::Result pushed = encoder.push(pcm.data(), pcm.size() / 2); !pushed) return pushed;
    if (x91::Result finished = encoder.finish(); !finished) return finished;
    Bytes packet;
    while (encoder.next_packet(packet)) x91::append_packet(file, packet);
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
