// The C encoder with each of its allocations in turn made to fail, in a
// tagged encode, the C decoder of a stream pushed in, read through
// callbacks at will and held in memory, and the check of -t: every call
// returns X91_OK or X91_ERR_OUT_OF_MEMORY, what follows a handle's failure
// is refused, and a run without a failure gives the output of a run without
// the sweep. Below them, the library's encoder in runs on two threads, where a
// helper thread's failure must reach the caller. (Built with X91_ALLOC_FAIL;
// leaks show under AddressSanitizer.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "api/api_test_support.h"
#include "format/packet_framing.h"
#include "library/encoder.h"
#include "support/failing_allocator.h"
#include "support/test_signals.h"
#include "support/wav_bytes.h"
#include "support/x91_framing.h"
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

// A file in memory behind read, seek and tell callbacks.
struct MemoryFile {
    const Bytes& bytes;
    std::size_t at = 0;

    static int64_t read(void* self, uint8_t* buffer, size_t size) {
        auto& f = *static_cast<MemoryFile*>(self);
        const std::size_t n = std::min(size, f.bytes.size() - f.at);
        std::copy_n(f.bytes.begin() + static_cast<long>(f.at), n, buffer);
        f.at += n;
        return static_cast<int64_t>(n);
    }
    static int seek(void* self, int64_t offset, int whence) {
        auto& f = *static_cast<MemoryFile*>(self);
        const int64_t base = whence == SEEK_SET   ? 0
                             : whence == SEEK_CUR ? static_cast<int64_t>(f.at)
                                                  : static_cast<int64_t>(f.bytes.size());
        if (base + offset < 0 || base + offset > static_cast<int64_t>(f.bytes.size())) return -1;
        f.at = static_cast<std::size_t>(base + offset);
        return 0;
    }
    static int64_t tell(void* self) {
        return static_cast<int64_t>(static_cast<MemoryFile*>(self)->at);
    }
    static constexpr x91_io kIo{read, seek, tell, nullptr};
};

enum class Opening { pushed, callbacks, memory };

// Opens a decoder of file the given way and, pushed, feeds it whole.
x91_status open_decoder(Opening opening, const Bytes& file, MemoryFile& source,
                        x91_decoder*& decoder, bool& opened) {
    x91_status status = X91_OK;
    if (opening == Opening::pushed) status = x91_decoder_open_push(&decoder);
    if (opening == Opening::callbacks)
        status = x91_decoder_open_callbacks(&decoder, &MemoryFile::kIo, &source);
    if (opening == Opening::memory)
        status = x91_decoder_open_memory(&decoder, file.data(), file.size());
    opened = status == X91_OK;
    if (opening == Opening::pushed && status == X91_OK)
        status = x91_decoder_feed(decoder, file.data(), file.size());
    if (opening == Opening::pushed && status == X91_OK) status = x91_decoder_feed_end(decoder);
    return status;
}

// One decode, stopped at its first failure. Empty when it ended as it may.
std::string decode_once(Opening opening, const Bytes& file, const Pcm& reference) {
    Pcm pcm;
    Pcm piece;
    {
        const AllocationsUnwatched unwatched;
        pcm.reserve(reference.size());
        piece.resize(2 * 4096);
    }
    x91_decoder* decoder = nullptr;
    MemoryFile source{file};
    bool opened = false;
    x91_status failed = open_decoder(opening, file, source, decoder, opened);
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

TEST(AllocationFailureTest, EveryAllocationOfADecodeMayFail) {
    const Bytes file = c_encode(music_like_signal(3 * X91_BLOCK_FRAMES + 300, 5), 0, true);
    x91_decoder* decoder = nullptr;
    ASSERT_EQ(x91_decoder_open_memory(&decoder, file.data(), file.size()), X91_OK);
    const Pcm reference = c_read_all(decoder);
    x91_decoder_destroy(decoder);
    for (const Opening opening : {Opening::pushed, Opening::callbacks, Opening::memory}) {
        SCOPED_TRACE(static_cast<int>(opening));
        std::size_t runs = 0;
        const std::vector<std::string> problems =
            sweep_allocation_failures([&] { return decode_once(opening, file, reference); }, runs);
        EXPECT_EQ(problems, std::vector<std::string>{});
        EXPECT_GT(runs, 50u);
    }
}

// One decode of packets a player found, stopped at its first failure: once
// a packet's decode ran out of memory, the next is refused until a restart.
std::string decode_packets_once(const Bytes& file, const std::vector<Bytes>& packets,
                                const Pcm& reference) {
    Pcm pcm;
    Pcm piece;
    {
        const AllocationsUnwatched unwatched;
        pcm.reserve(reference.size());
        piece.resize(2 * 20000);
    }
    x91_decoder* decoder = nullptr;
    x91_status failed = x91_decoder_create_for_header(&decoder, file.data(), X91_HEADER_BYTES);
    const bool opened = failed == X91_OK;
    for (std::size_t p = 0; p < packets.size() && failed == X91_OK; ++p) {
        failed = x91_decoder_decode_packet(decoder, packets[p].data(), packets[p].size());
        std::size_t frames = 0;
        if (failed == X91_OK) failed = x91_decoder_read(decoder, piece.data(), 20000, &frames);
        pcm.insert(pcm.end(), piece.begin(), piece.begin() + static_cast<long>(2 * frames));
    }

    const AllocationsUnwatched unwatched;
    const x91_status after =
        opened ? x91_decoder_decode_packet(decoder, packets[0].data(), packets[0].size()) : X91_OK;
    const x91_status restarted = opened ? x91_decoder_restart(decoder, 0) : X91_OK;
    x91_decoder_destroy(decoder);
    if (failed == X91_OK) return pcm == reference ? "" : "a whole run gave other audio";
    if (failed != X91_ERR_OUT_OF_MEMORY) return std::string("status ") + x91_status_text(failed);
    if (opened && (after != X91_ERR_INVALID_STATE || restarted != X91_OK))
        return std::string("then ") + x91_status_text(after);
    return "";
}

TEST(AllocationFailureTest, EveryAllocationOfAPacketDecodeMayFail) {
    const Bytes file = c_encode(music_like_signal(3 * X91_BLOCK_FRAMES + 300, 5));
    const std::vector<Bytes> packets = packets_of(file);
    ASSERT_FALSE(packets.empty());
    MemoryDecoder whole(file);
    const Pcm reference = c_read_all(whole.decoder);
    std::size_t runs = 0;
    const std::vector<std::string> problems = sweep_allocation_failures(
        [&] { return decode_packets_once(file, packets, reference); }, runs);
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_GT(runs, 20u);
}

TEST(AllocationFailureTest, EveryAllocationOfACheckMayFail) {
    const Bytes file = c_encode(music_like_signal(3 * X91_BLOCK_FRAMES + 300, 5), 0, true);
    std::size_t runs = 0;
    const std::vector<std::string> problems = sweep_allocation_failures(
        [&]() -> std::string {
            MemoryFile source{file};
            const x91_status status = x91_check_callbacks(&MemoryFile::kIo, &source, nullptr);
            const AllocationsUnwatched unwatched;
            return status == X91_OK || status == X91_ERR_OUT_OF_MEMORY
                       ? ""
                       : std::string("status ") + x91_status_text(status);
        },
        runs);
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
