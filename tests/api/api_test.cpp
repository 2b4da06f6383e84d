// The C interface: the bytes its encoder writes and the audio its decoder
// gives equal the library's own, whatever the pieces; bad calls and damaged
// input give status codes, never a crash.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "api/api_test_support.h"
#include "format/quality.h"
#include "format/settings_io.h"
#include "library/decoder.h"
#include "library/encoder.h"
#include "library/version.h"
#include "support/test_signals.h"
#include "support/x91_framing.h"

using namespace x91test;

namespace {

Bytes header_bytes(const x91::HeaderSettings& settings) {
    const auto image = x91::x91_header_image(settings);
    return Bytes(image.begin(), image.end());
}

// The reference: the library's classes under the C interface.
Bytes library_encode(const Pcm& pcm, const x91::EncoderOptions& options = {}) {
    x91::Encoder encoder(options);
    Bytes file = header_bytes(encoder.settings()), packet;
    EXPECT_TRUE(encoder.push(pcm.data(), pcm.size() / 2).ok());
    EXPECT_TRUE(encoder.finish().ok());
    while (encoder.next_packet(packet)) append_counted(file, packet);
    append_end(file);
    return file;
}

Pcm library_decode(const Bytes& file) {
    std::optional<x91::CheckedSettings> settings;
    EXPECT_TRUE(x91::parse_x91_header(file.data(), file.size(), settings).ok());
    x91::Decoder decoder(*settings);
    Pcm pcm;
    for (const Bytes& packet : packets_of(file)) {
        EXPECT_TRUE(decoder.push_packet(packet.data(), packet.size()).ok());
        decoder.pull(pcm);
    }
    return pcm;
}

TEST(ApiTest, EncodeAndDecodeEqualTheLibrarysInAnyPieces) {
    const Pcm pcm = music_like_signal(40000, 7);
    const Bytes reference = library_encode(pcm);
    for (const std::size_t piece : {0, 1, 881, 4410}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(c_encode(pcm, piece), reference);
    }
    const Pcm decoded = library_decode(reference);
    for (const std::size_t piece : {1, 882, 100000}) {
        SCOPED_TRACE(piece);
        MemoryDecoder d(reference);
        EXPECT_EQ(x91_decoder_length(d.decoder), decoded.size() / 2);
        EXPECT_EQ(c_read_all(d.decoder, piece), decoded);
    }
}

TEST(ApiTest, ThreadsGiveTheBytesOfOneThread) {
    const Pcm pcm = music_like_signal(200000, 11);
    const Bytes one = c_encode(pcm, 0, true);
    for (const int threads : {2, 3}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(c_encode(pcm, 4410, true,
                           [threads](x91_encoder* encoder) {
                               EXPECT_EQ(x91_encoder_set_threads(encoder, threads), X91_OK);
                           }),
                  one);
    }
}

TEST(ApiTest, QualityReachesTheHeader) {
    x91_encoder* encoder = nullptr;
    ASSERT_EQ(x91_encoder_create(&encoder), X91_OK);
    EXPECT_EQ(x91_encoder_set_quality(encoder, 50), X91_OK);
    const uint8_t* data = nullptr;
    size_t size = 0;
    ASSERT_EQ(x91_encoder_take_output(encoder, &data, &size), X91_OK);
    x91::HeaderSettings expected;
    ASSERT_TRUE(x91::apply_quality(expected, 50).ok());
    EXPECT_EQ(Bytes(data, data + size), header_bytes(expected));
    EXPECT_EQ(x91_encoder_set_quality(encoder, 60), X91_ERR_INVALID_STATE);
    x91_encoder_destroy(encoder);
}

// The tuned mode gives the library's tuned file at the same quality.
TEST(ApiTest, TunedModeEqualsTheLibrarysTunedEncoder) {
    const Pcm pcm = music_like_signal(40000, 9);
    x91::EncoderOptions options;
    ASSERT_TRUE(x91::tuned_options(150, options).ok());
    const Bytes reference = library_encode(pcm, options);

    // It keeps to one chain whatever the threads, so every count gives it.
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(c_encode(pcm, 0, false,
                           [threads](x91_encoder* encoder) {
                               EXPECT_EQ(x91_encoder_set_quality(encoder, 150), X91_OK);
                               EXPECT_EQ(x91_encoder_set_tuned(encoder, 1), X91_OK);
                               EXPECT_EQ(x91_encoder_set_threads(encoder, threads), X91_OK);
                           }),
                  reference);
    }
}

// Audio read through a callback, in stretches, finds the quality audio in
// memory finds; a read that fails is X91_ERR_READ_FAILED.
TEST(ApiTest, BitrateSearchThroughACallbackEqualsTheOneInMemory) {
    const Pcm pcm = music_like_signal(3 * 44100, 4);
    const std::uint64_t frames = pcm.size() / 2;
    double in_memory = 0;
    ASSERT_EQ(x91_quality_for_bitrate(pcm.data(), frames, 96, 0, &in_memory), X91_OK);
    struct Audio {
        const Pcm* pcm;
        bool fails;
    };
    const x91_pcm_read_fn read = [](void* user, uint64_t first, size_t count, int16_t* out) {
        const auto& audio = *static_cast<const Audio*>(user);
        if (audio.fails) return 1;
        std::memcpy(out, audio.pcm->data() + 2 * first, 4 * count);
        return 0;
    };
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails);
        Audio audio{&pcm, fails};
        double found = -1;
        EXPECT_EQ(x91_quality_for_bitrate_callback(frames, read, &audio, 96, 0, &found),
                  fails ? X91_ERR_READ_FAILED : X91_OK);
        EXPECT_EQ(found, fails ? 0 : in_memory);
    }
    EXPECT_EQ(x91_quality_for_bitrate_callback(frames, nullptr, nullptr, 96, 0, &in_memory),
              X91_ERR_INVALID_ARGUMENT);
}

TEST(ApiTest, EncoderRefusals) {
    x91_encoder* encoder = nullptr;
    ASSERT_EQ(x91_encoder_create(&encoder), X91_OK);
    const int16_t pcm[4] = {};
    const uint8_t* data = nullptr;
    size_t size = 0;
    struct Case {
        const char* name;
        x91_status got, expected;
    } const cases[] = {
        {"no handle", x91_encoder_create(nullptr), X91_ERR_INVALID_ARGUMENT},
        {"quality 9", x91_encoder_set_quality(encoder, 9), X91_ERR_INVALID_ARGUMENT},
        {"threads 0", x91_encoder_set_threads(encoder, 0), X91_ERR_INVALID_ARGUMENT},
        {"threads 257", x91_encoder_set_threads(encoder, 257), X91_ERR_INVALID_ARGUMENT},
        {"quality NaN", x91_encoder_set_quality(encoder, std::nan("")), X91_ERR_INVALID_ARGUMENT},
        {"quality 1e300", x91_encoder_set_quality(encoder, 1e300), X91_ERR_INVALID_ARGUMENT},
        {"no samples", x91_encoder_push(encoder, nullptr, 3), X91_ERR_INVALID_ARGUMENT},
        {"no output place", x91_encoder_take_output(encoder, nullptr, &size),
         X91_ERR_INVALID_ARGUMENT},
        {"push", x91_encoder_push(encoder, pcm, 2), X91_OK},
        {"finish", x91_encoder_finish(encoder), X91_OK},
        {"push after finish", x91_encoder_push(encoder, pcm, 2), X91_ERR_INVALID_STATE},
        {"finish twice", x91_encoder_finish(encoder), X91_ERR_INVALID_STATE},
        {"null handle", x91_encoder_push(nullptr, pcm, 2), X91_ERR_INVALID_ARGUMENT},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;
    EXPECT_STREQ(x91_encoder_last_error(encoder), "finish called twice");
    EXPECT_EQ(x91_encoder_take_output(encoder, &data, &size), X91_OK);
    x91_encoder_destroy(encoder);
    x91_encoder_destroy(nullptr);
}

TEST(ApiTest, ProbeAndOpenRefuseWhatIsNotAnX91Header) {
    const Bytes file = c_encode(tone_signal(2000, 440, 0.3));
    Bytes damaged = file;
    damaged[6] = damaged[7] = 0;  // a line count of 0
    struct Case {
        const char* name;
        Bytes bytes;
        x91_status expected;
    } const cases[] = {
        {"whole file", file, X91_OK},
        {"header alone", Bytes(file.begin(), file.begin() + X91_HEADER_BYTES), X91_OK},
        {"empty", {}, X91_ERR_NOT_X91},
        {"text", Bytes{'x', '9', '2', 0, 0, 0}, X91_ERR_NOT_X91},
        {"magic alone", Bytes{'x', '9', '1'}, X91_ERR_CUT_SHORT},
        {"header cut", Bytes(file.begin(), file.begin() + 40), X91_ERR_CUT_SHORT},
        {"line count 0", damaged, X91_ERR_HEADER_DAMAGED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(x91_probe(c.bytes.data(), c.bytes.size()), c.expected);
        x91_decoder* decoder = nullptr;
        EXPECT_EQ(x91_decoder_open_memory(&decoder, c.bytes.data(), c.bytes.size()), c.expected);
        EXPECT_EQ(decoder == nullptr, c.expected != X91_OK);
        x91_decoder_destroy(decoder);
    }
    EXPECT_EQ(x91_probe(nullptr, 5), X91_ERR_INVALID_ARGUMENT);
    EXPECT_STREQ(x91_status_text(X91_ERR_CUT_SHORT), "cut short");
    EXPECT_STREQ(x91_version(), x91::version());
}

TEST(ApiTest, DecoderCallsFitTheirKind) {
    const Bytes file = c_encode(tone_signal(30000, 440, 0.3));
    MemoryDecoder over_file(file);
    x91_decoder* over_packets = nullptr;
    ASSERT_EQ(x91_decoder_create_for_header(&over_packets, file.data(), file.size()), X91_OK);
    EXPECT_EQ(x91_decoder_decode_packet(over_file.decoder, file.data(), 8), X91_ERR_INVALID_STATE);
    EXPECT_EQ(x91_decoder_restart(over_file.decoder, 1), X91_ERR_INVALID_STATE);
    EXPECT_EQ(x91_decoder_seek(over_packets, 0), X91_ERR_INVALID_STATE);
    EXPECT_EQ(std::string(x91_decoder_last_error(over_packets)),
              "seek needs a decoder over a file");
    size_t got = 7;
    EXPECT_EQ(x91_decoder_read(over_packets, nullptr, 0, &got), X91_OK);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(x91_decoder_read(nullptr, nullptr, 0, &got), X91_ERR_INVALID_ARGUMENT);
    x91_decoder_destroy(over_packets);
}

// A file cut inside a packet decodes up to the packet before, then says why
// it stopped.
TEST(ApiTest, FileCutShortDecodesWhatPrecedesTheCut) {
    const Bytes file = c_encode(music_like_signal(60000, 3));
    const Pcm full = library_decode(file);
    const Bytes cut(file.begin(), file.end() - 100);
    MemoryDecoder d(cut);
    const uint64_t length = x91_decoder_length(d.decoder);
    EXPECT_LT(length, full.size() / 2);
    Pcm pcm, buffer(2 * 5000);
    size_t got = 0;
    x91_status status = X91_OK;
    while (status == X91_OK) {
        status = x91_decoder_read(d.decoder, buffer.data(), 5000, &got);
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + static_cast<long>(2 * got));
        if (status == X91_OK) {
            ASSERT_GT(got, 0u);
        }
    }
    EXPECT_EQ(status, X91_ERR_CUT_SHORT);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(pcm, Pcm(full.begin(), full.begin() + static_cast<long>(2 * length)));
    EXPECT_NE(std::string(x91_decoder_last_error(d.decoder)).find("more than the file holds"),
              std::string::npos)
        << x91_decoder_last_error(d.decoder);
}

// Packets fed one by one give the file's audio; a packet the decoder cannot
// take gives silence of its length, and the packets after it decode as
// after a restart.
TEST(ApiTest, PacketDecoderKeepsTheTimelineThroughARefusedPacket) {
    const Bytes file = c_encode(music_like_signal(80000, 5));
    const Pcm full = library_decode(file);
    x91_decoder* decoder = nullptr;
    ASSERT_EQ(x91_decoder_create_for_header(&decoder, file.data(), X91_HEADER_BYTES), X91_OK);
    Pcm pcm;
    std::vector<int16_t> buffer(2 * 20000);
    int p = 0;
    for (const Bytes& packet : packets_of(file)) {
        const bool refuse = p == 2;
        const x91_status status =
            x91_decoder_decode_packet(decoder, packet.data(), refuse ? 0 : packet.size());
        EXPECT_EQ(status, refuse ? X91_ERR_PACKET_TOO_LARGE : X91_OK) << p;
        size_t got = 0;
        ASSERT_EQ(x91_decoder_read(decoder, buffer.data(), 20000, &got), X91_OK);
        EXPECT_EQ(got, x91_decoder_packet_frames(decoder, p));
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + static_cast<long>(2 * got));
        ++p;
    }
    ASSERT_EQ(pcm.size(), full.size());
    // Packet 2's audio, and the two blocks packet 3 needs it for, are silent.
    const std::size_t silent_from = 2 * (2 * 16 - 1) * 882, silent_to = 2 * (3 * 16 + 1) * 882;
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const bool silent = i >= silent_from && i < silent_to;
        if (silent ? pcm[i] != 0 : pcm[i] != full[i]) FAIL() << "sample " << i;
    }
    x91_decoder_destroy(decoder);
}

}  // namespace
