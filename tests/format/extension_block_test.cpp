// The extension block: its CRC, its layout read back, and how a reader
// tells an intact block from a damaged or a later one.
#include "format/extension_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "format/crc32.h"
#include "format/tag_text.h"

namespace x91 {

namespace {

using Bytes = std::vector<unsigned char>;

ExtensionContent sample_content() {
    ExtensionContent c;
    c.frames = 0x123456789ull;
    c.lead_in = 882;
    c.tags = {"TITLE=Überall", "ARTIST=", "COMMENT=a=b"};
    c.stream_crc = 0xDEADBEEF;
    return c;
}

void set32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Rewrites the footer's CRC after a test changed the block on purpose.
void reseal(Bytes& block) {
    const std::size_t crc_at = block.size() - 4;
    set32(block, crc_at, crc32_update(0, block.data(), crc_at));
}

TEST(Crc32Test, KnownValuesAndPieces) {
    const std::string check = "123456789";
    const auto* data = reinterpret_cast<const unsigned char*>(check.data());
    EXPECT_EQ(crc32_update(0, data, check.size()), 0xCBF43926u);
    EXPECT_EQ(crc32_update(crc32_update(0, data, 4), data + 4, 5), 0xCBF43926u);
    EXPECT_EQ(crc32_update(0, nullptr, 0), 0u);
    const unsigned char zeros[4] = {0, 0, 0, 0};
    EXPECT_EQ(crc32_update(0, zeros, 4), 0x2144DF1Cu);
}

TEST(TagTextTest, NamesAndUtf8) {
    EXPECT_TRUE(valid_tag("TITLE=x"));
    EXPECT_TRUE(valid_tag("title="));
    EXPECT_TRUE(valid_tag("COMMENT=a=b"));
    EXPECT_TRUE(valid_tag("T=\xE2\x82\xAC \xF0\x9F\x8E\xB5"));
    EXPECT_FALSE(valid_tag("=x"));
    EXPECT_FALSE(valid_tag("TITLE"));
    EXPECT_TRUE(valid_tag("~X=1"));
    EXPECT_FALSE(valid_tag("TI\x7FTLE=x"));
    EXPECT_FALSE(valid_tag("T=\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(valid_tag("T=\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(valid_tag("T=\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(valid_tag("T=\xE2\x82"));          // cut short
    EXPECT_FALSE(valid_tag("T=\xFF"));
}

TEST(ExtensionBlockTest, ImageReadsBackAndIsFoundFromItsFooter) {
    const Bytes block = extension_block_image(sample_content());
    std::uint64_t size = 0;
    ASSERT_TRUE(read_extension_footer(block.data() + block.size() - kExtensionFooterBytes, size));
    EXPECT_EQ(size, block.size());
    EXPECT_TRUE(starts_extension_block(block.data(), block.size()));
    ExtensionContent back;
    ASSERT_TRUE(parse_extension_block(block.data(), block.size(), back));
    EXPECT_EQ(back.frames, 0x123456789ull);
    EXPECT_EQ(back.lead_in, 882u);
    EXPECT_EQ(back.stream_crc, 0xDEADBEEFu);
    EXPECT_EQ(back.tags, sample_content().tags);
    // Head, the frames field, as documented.
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 4), (Bytes{'X', '9', '1', 'E'}));
    EXPECT_EQ(Bytes(block.begin() + 4, block.begin() + 12),
              (Bytes{1, 0, 0, 0, static_cast<unsigned char>(block.size()),
                     static_cast<unsigned char>(block.size() >> 8), 0, 0}));
    EXPECT_EQ(Bytes(block.begin() + 12, block.begin() + 28),
              (Bytes{1, 0, 0, 0, 8, 0, 0, 0, 0x89, 0x67, 0x45, 0x23, 1, 0, 0, 0}));
    EXPECT_EQ(Bytes(block.end() - 12, block.end() - 8), (Bytes{'X', '9', '1', 'T'}));
}

TEST(ExtensionBlockTest, EveryChangedByteIsSeen) {
    const Bytes good = extension_block_image(sample_content());
    for (std::size_t at = 0; at < good.size(); ++at) {
        Bytes bad = good;
        bad[at] ^= 0x20;
        ExtensionContent out;
        std::uint64_t size = 0;
        const bool footer = read_extension_footer(bad.data() + bad.size() - 12, size).ok();
        const Result parsed = parse_extension_block(bad.data(), bad.size(), out);
        EXPECT_FALSE(footer && size == bad.size() && parsed) << "byte " << at;
        EXPECT_EQ(parsed.message, "checksum mismatch in the extension block") << "byte " << at;
    }
}

TEST(ExtensionBlockTest, LaterFieldsAreSkippedAndOtherVersionsAreNotRead) {
    // A field of a later writer, put before the footer and sealed again.
    Bytes block = extension_block_image(sample_content());
    const Bytes field = {99, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'};
    block.insert(block.end() - 12, field.begin(), field.end());
    set32(block, 8, static_cast<std::uint32_t>(block.size()));
    set32(block, block.size() - 8, static_cast<std::uint32_t>(block.size()));
    reseal(block);
    ExtensionContent out;
    ASSERT_TRUE(parse_extension_block(block.data(), block.size(), out));
    EXPECT_EQ(out.tags.size(), 3u);

    set32(block, 4, 2);
    reseal(block);
    EXPECT_EQ(parse_extension_block(block.data(), block.size(), out).status,
              Status::extension_unknown);
}

TEST(ExtensionBlockTest, SealedButMalformedBlocksAreDamaged) {
    struct Case {
        const char* name;
        std::size_t at;  // the byte changed, from the start of the block
        unsigned char value;
    };
    // The frames field's id at 12, its length at 16; the lead-in field's id at 28.
    const Case cases[] = {
        {"frames field of the wrong size", 16, 7},
        {"frames field twice", 28, 1},
        {"required field missing", 12, 77},
        {"field longer than the block", 19, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes block = extension_block_image(sample_content());
        block[c.at] = c.value;
        reseal(block);
        ExtensionContent out;
        EXPECT_EQ(parse_extension_block(block.data(), block.size(), out).status,
                  Status::extension_damaged);
    }
    ExtensionContent with_bad_tag = sample_content();
    with_bad_tag.tags = {"NO EQUALS SIGN"};
    const Bytes block = extension_block_image(with_bad_tag);
    ExtensionContent out;
    EXPECT_EQ(parse_extension_block(block.data(), block.size(), out).status,
              Status::extension_damaged);
    EXPECT_EQ(parse_extension_block(block.data(), 23, out).status, Status::extension_damaged);
    const Bytes footer = {'X', '9', '1', 'T', 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0};
    std::uint64_t size = 0;
    EXPECT_EQ(read_extension_footer(footer.data(), size).status, Status::extension_damaged);
    const Bytes plain(12, 0);
    EXPECT_EQ(read_extension_footer(plain.data(), size).status, Status::no_extension);
}

}  // namespace

}  // namespace x91
