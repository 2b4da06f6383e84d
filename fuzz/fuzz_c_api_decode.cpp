// Decodes arbitrary bytes through the C interface as players do: the whole
// file in memory, read in pieces with a seek taken from the input; the
// bytes pushed in pieces, as from a network; the file checked through
// callbacks that cannot seek; and the bytes after the header cut into
// packets for a packet decoder, trimmed by an extension block found at the
// end and restarted part way as after a seek. Whatever the bytes, nothing
// may crash, hang or break the timeline: reads never pass the length, a
// seek lands where asked, and every packet gives exactly its frames.
#include <x91/x91.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Each packet decodes to its frames whatever it holds, so tiny packets make
// minutes of audio; beyond a few blocks around a seek nothing new is
// reached.
constexpr std::size_t kMaxReads = 6;
constexpr std::size_t kReadFrames = 1500;
constexpr std::size_t kMaxPackets = 4;

void check(bool condition) {
    if (!condition) std::abort();
}

void read_file(const std::uint8_t* data, std::size_t size) {
    x91_decoder* decoder = nullptr;
    if (x91_decoder_open_memory(&decoder, data, size) != X91_OK) {
        check(decoder == nullptr);
        return;
    }
    const std::uint64_t length = x91_decoder_length(decoder);
    std::vector<std::int16_t> pcm(2 * kReadFrames);
    // The last byte picks a seek target anywhere up to past the end.
    const std::uint64_t target = length * data[size - 1] / 200;
    for (std::size_t k = 0; k < kMaxReads; ++k) {
        if (k == kMaxReads / 2) {
            check(x91_decoder_seek(decoder, target) == X91_OK);
            check(x91_decoder_position(decoder) == (target < length ? target : length));
        }
        const std::uint64_t before = x91_decoder_position(decoder);
        std::size_t got = 0;
        x91_decoder_read(decoder, pcm.data(), kReadFrames, &got);
        check(got <= kReadFrames && before + got <= length);
        check(x91_decoder_position(decoder) == before + got);
    }
    x91_decoder_destroy(decoder);
}

// Every decoded frame, so that each read gives a packet's audio at once:
// holding a stream's front back is the stream fuzzer's to try.
void push_stream(const std::uint8_t* data, std::size_t size) {
    x91_decoder* decoder = nullptr;
    check(x91_decoder_open_push(&decoder) == X91_OK);
    check(x91_decoder_trim(decoder, 0, UINT64_MAX) == X91_OK);
    std::vector<std::int16_t> pcm(2 * kReadFrames);
    std::size_t reads = 0;
    for (std::size_t at = 0; at < size && reads < kMaxReads;) {
        const std::size_t n = std::min<std::size_t>(1 + data[at] % 200, size - at);
        if (x91_decoder_feed(decoder, data + at, n) != X91_OK) break;
        at += n;
        if (at == size) x91_decoder_feed_end(decoder);
        std::size_t got = 0;
        x91_decoder_read(decoder, pcm.data(), kReadFrames, &got);
        check(got <= kReadFrames);
        if (got > 0) ++reads;
    }
    x91_decoder_destroy(decoder);
}

struct Bytes {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
};

std::int64_t read_bytes(void* user, std::uint8_t* buffer, std::size_t size) {
    Bytes& bytes = *static_cast<Bytes*>(user);
    const std::size_t n = std::min(size, bytes.size - bytes.at);
    std::copy(bytes.data + bytes.at, bytes.data + bytes.at + n, buffer);
    bytes.at += n;
    return static_cast<std::int64_t>(n);
}

// A check reads and decodes the whole file, so only small files are checked.
void check_once(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return;
    Bytes bytes{data, size, 0};
    const x91_io io = {read_bytes, nullptr, nullptr, nullptr};
    const x91_status verdict = x91_check_callbacks(&io, &bytes, nullptr);
    check(verdict != X91_ERR_INTERNAL && verdict != X91_ERR_INVALID_ARGUMENT);
}

void decode_packets(const std::uint8_t* data, std::size_t size) {
    x91_decoder* decoder = nullptr;
    if (x91_decoder_create_for_header(&decoder, data, size) != X91_OK) return;
    std::uint64_t block = 0;
    if (size >= X91_EXTENSION_FOOTER_BYTES &&
        x91_extension_size(data + size - X91_EXTENSION_FOOTER_BYTES, X91_EXTENSION_FOOTER_BYTES,
                           &block) == X91_OK &&
        block <= size)
        x91_decoder_use_extension(decoder, data + size - block, static_cast<std::size_t>(block));
    std::vector<std::int16_t> pcm;
    std::size_t at = X91_HEADER_BYTES;
    // The packet the decoder takes next: a restart may skip some, and on a
    // trimmed timeline packets differ in length near its ends.
    std::uint64_t next = 0;
    for (std::uint64_t k = 0; k < kMaxPackets && at < size; ++k, ++next) {
        // Packet sizes from the bytes themselves, empty ones included.
        const std::size_t n = data[at] % 64 < size - at ? data[at] % 64 : size - at;
        if (k == kMaxPackets / 2) {
            next = k + data[at] % 3;
            check(x91_decoder_restart(decoder, next) == X91_OK);
        }
        const std::uint64_t start = x91_decoder_position(decoder);
        const std::uint64_t expected = x91_decoder_packet_frames(decoder, next);
        x91_decoder_decode_packet(decoder, data + at, n);
        pcm.resize(2 * (expected + 1));
        std::size_t got = 0;
        check(x91_decoder_read(decoder, pcm.data(), expected + 1, &got) == X91_OK);
        check(got == expected && x91_decoder_position(decoder) == start + got);
        at += n + 1;
    }
    x91_decoder_destroy(decoder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    read_file(data, size);
    push_stream(data, size);
    check_once(data, size);
    decode_packets(data, size);
    return 0;
}
