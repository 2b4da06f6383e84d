// The extension block through the C interface: the encoder writes the
// library's block with the tags given, and decoders (over a file or over
// packets) deliver the input's exact length and its tags.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/api_test_support.h"
#include "format/crc32.h"
#include "format/extension_block.h"
#include "support/test_signals.h"
#include "support/x91_framing.h"

using namespace x91test;

namespace {

constexpr uint64_t kFrames = 30000;
struct NamedValue {
    std::string name;
    std::string value;
};
const std::vector<NamedValue> kTags = {{"TITLE", "Öde, \"quoted\""}, {"ARTIST", "x"}};

Bytes tagged_file(const Pcm& pcm) {
    return c_encode(pcm, 0, true, [](x91_encoder* encoder) {
        for (const NamedValue& tag : kTags)
            EXPECT_EQ(x91_encoder_add_tag(encoder, tag.name.c_str(), tag.value.c_str()), X91_OK);
    });
}

class ExtensionApiTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        file_ = new Bytes(tagged_file(music_like_signal(kFrames, 4)));
        MemoryDecoder d(*file_);
        EXPECT_EQ(x91_decoder_trim(d.decoder, 0, UINT64_MAX), X91_OK);
        untrimmed_ = new Pcm(c_read_all(d.decoder));
    }
    static void TearDownTestSuite() {
        delete file_;
        delete untrimmed_;
    }
    // The input's frames in the untrimmed decode, which starts one block late.
    static Pcm exact() {
        return Pcm(untrimmed_->begin() + 2 * X91_BLOCK_FRAMES,
                   untrimmed_->begin() + 2 * (X91_BLOCK_FRAMES + kFrames));
    }
    static Bytes* file_;
    static Pcm* untrimmed_;
};

Bytes* ExtensionApiTest::file_ = nullptr;
Pcm* ExtensionApiTest::untrimmed_ = nullptr;

// The file is the plain one with the block behind it, which holds the
// input's length, the lead-in, the tags and the CRC of every byte before it.
TEST_F(ExtensionApiTest, EncoderWritesTheBlockBehindThePlainFile) {
    const Bytes plain = c_encode(music_like_signal(kFrames, 4));
    ASSERT_TRUE(std::equal(plain.begin(), plain.end(), file_->begin()));
    x91::ExtensionContent content;
    ASSERT_TRUE(x91::parse_extension_block(file_->data() + plain.size(),
                                           file_->size() - plain.size(), content)
                    .ok());
    EXPECT_EQ(content.frames, kFrames);
    EXPECT_EQ(content.lead_in, uint32_t{X91_BLOCK_FRAMES});
    EXPECT_EQ(content.tags, (std::vector<std::string>{"TITLE=" + kTags[0].value, "ARTIST=x"}));
    EXPECT_EQ(content.stream_crc, x91::crc32_update(0, plain.data(), plain.size()));
}

TEST_F(ExtensionApiTest, FileDecoderIsExactAndTellsTheTags) {
    MemoryDecoder d(*file_);
    uint64_t frames = 0, lead_in = 0;
    EXPECT_EQ(x91_decoder_exact_length(d.decoder, &frames, &lead_in), X91_OK);
    EXPECT_EQ(frames, kFrames);
    EXPECT_EQ(lead_in, uint64_t{X91_BLOCK_FRAMES});
    EXPECT_EQ(x91_decoder_length(d.decoder), kFrames);
    ASSERT_EQ(x91_decoder_tag_count(d.decoder), kTags.size());
    for (std::size_t i = 0; i < kTags.size(); ++i) {
        const char *name = nullptr, *value = nullptr;
        ASSERT_EQ(x91_decoder_tag(d.decoder, i, &name, &value), X91_OK);
        EXPECT_EQ(name, kTags[i].name);
        EXPECT_EQ(value, kTags[i].value);
    }
    EXPECT_EQ(x91_decoder_tag(d.decoder, kTags.size(), nullptr, nullptr), X91_ERR_INVALID_ARGUMENT);
    const Pcm input_frames = exact();
    EXPECT_EQ(c_read_all(d.decoder, 1234), input_frames);
    ASSERT_EQ(x91_decoder_seek(d.decoder, 20000), X91_OK);
    EXPECT_EQ(c_read_all(d.decoder), Pcm(input_frames.begin() + 2 * 20000, input_frames.end()));
}

// A player reads the block from the end, then feeds the packets.
TEST_F(ExtensionApiTest, PacketDecoderIsExactWithTheBlockFromTheEnd) {
    const Bytes& file = *file_;
    uint64_t block_bytes = 0;
    ASSERT_EQ(x91_extension_size(file.data() + file.size() - X91_EXTENSION_FOOTER_BYTES,
                                 X91_EXTENSION_FOOTER_BYTES, &block_bytes),
              X91_OK);
    x91_decoder* decoder = nullptr;
    ASSERT_EQ(x91_decoder_create_for_header(&decoder, file.data(), file.size()), X91_OK);
    ASSERT_EQ(
        x91_decoder_use_extension(decoder, file.data() + file.size() - block_bytes, block_bytes),
        X91_OK);
    EXPECT_EQ(x91_decoder_tag_count(decoder), kTags.size());
    for (const Bytes& packet : packets_of(file))
        ASSERT_EQ(x91_decoder_decode_packet(decoder, packet.data(), packet.size()), X91_OK);
    EXPECT_EQ(c_read_all(decoder), exact());
    EXPECT_EQ(
        x91_decoder_use_extension(decoder, file.data() + file.size() - block_bytes, block_bytes),
        X91_ERR_INVALID_STATE);
    x91_decoder_destroy(decoder);
}

// A block the decoder cannot trust leaves every decoded frame; one over
// changed packets still gives the length, as the command decodes it.
TEST_F(ExtensionApiTest, DamageDecidesWhatTheBlockTells) {
    const Bytes plain = c_encode(music_like_signal(kFrames, 4));
    Bytes packet_changed = *file_, block_changed = *file_;
    packet_changed[X91_HEADER_BYTES + 40] ^= 1;
    block_changed[block_changed.size() - 30] ^= 1;
    struct Case {
        const char* name;
        const Bytes& file;
        x91_status status;
        uint64_t length;
    } const cases[] = {
        {"plain", plain, X91_ERR_NO_EXTENSION, untrimmed_->size() / 2},
        {"a packet changed", packet_changed, X91_ERR_CHECKSUM_MISMATCH, kFrames},
        {"the block changed", block_changed, X91_ERR_EXTENSION_DAMAGED, untrimmed_->size() / 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryDecoder d(c.file);
        uint64_t frames = 1;
        EXPECT_EQ(x91_decoder_exact_length(d.decoder, &frames, nullptr), c.status);
        EXPECT_EQ(frames, c.status == X91_ERR_CHECKSUM_MISMATCH ? kFrames : 0);
        EXPECT_EQ(x91_decoder_length(d.decoder), c.length);
    }
}

TEST_F(ExtensionApiTest, EncoderRefusesWhatABlockCannotCarry) {
    x91_encoder* encoder = nullptr;
    ASSERT_EQ(x91_encoder_create(&encoder), X91_OK);
    const auto* footer = reinterpret_cast<const uint8_t*>(
        "X91T\xff\xff\xff\xff"
        "abcd");
    uint64_t block_bytes = 0;
    // Two of these do not fit one block: the second is left out alone.
    const std::string large(X91_MAX_EXTENSION_BYTES / 2 + 1, 'x');
    struct Case {
        const char* name;
        x91_status got, expected;
    } const cases[] = {
        {"name with '='", x91_encoder_add_tag(encoder, "A=B", "v"), X91_ERR_INVALID_ARGUMENT},
        {"empty name", x91_encoder_add_tag(encoder, "", "v"), X91_ERR_INVALID_ARGUMENT},
        {"value not UTF-8", x91_encoder_add_tag(encoder, "TITLE", "\xff"),
         X91_ERR_INVALID_ARGUMENT},
        {"no value", x91_encoder_add_tag(encoder, "TITLE", nullptr), X91_ERR_INVALID_ARGUMENT},
        {"a large tag", x91_encoder_add_tag(encoder, "A", large.c_str()), X91_OK},
        {"a second one", x91_encoder_add_tag(encoder, "B", large.c_str()),
         X91_ERR_INVALID_ARGUMENT},
        {"a small one beside", x91_encoder_add_tag(encoder, "C", "v"), X91_OK},
        {"finish", x91_encoder_finish(encoder), X91_OK},
        {"tag after finish", x91_encoder_add_tag(encoder, "TITLE", "v"), X91_ERR_INVALID_STATE},
        {"block after finish", x91_encoder_set_extension_block(encoder, 0), X91_ERR_INVALID_STATE},
        {"footer of a 4 GiB block",
         x91_extension_size(footer, X91_EXTENSION_FOOTER_BYTES, &block_bytes),
         X91_ERR_EXTENSION_DAMAGED},
        {"no footer", x91_extension_size(footer + 1, X91_EXTENSION_FOOTER_BYTES, &block_bytes),
         X91_ERR_NO_EXTENSION},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;
    x91_encoder_destroy(encoder);
}

}  // namespace
