// The packet layout and the coders run in its order: bit counts of whole
// packets, round trips of random groups, and damaged packets.
#include "graphs/packet_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "coding/integer_codes.h"
#include "format/checked_settings.h"
#include "support/coding_test_util.h"
#include "support/test_seed.h"

namespace x91 {

namespace {

using coding_test::uniform;

PacketLayout layout_of(const da_DSettings& d) {
    std::optional<CheckedSettings> checked;
    if (!check_settings({da_CodeFeatures{}, d, is}, checked).ok()) std::abort();
    return PacketLayout(*checked);
}

const PacketLayout& default_layout() {
    static const PacketLayout layout = layout_of(ds);
    return layout;
}

constexpr int kFrames = 16, kLines = 800;
constexpr std::uint32_t kSeed = 20240611u;

PacketGroup constant_group(int intensity, int balance) {
    PacketGroup g;
    g.matrices[0].assign(kFrames, std::vector<int>(32, intensity));
    g.matrices[1].assign(kFrames, std::vector<int>(12, balance));
    g.matrices[2].assign(kFrames, std::vector<int>(28, 0));
    g.spectra.assign(2 * kFrames, std::vector<int>(kLines, 0));
    return g;
}

PacketGroup random_group(std::mt19937& rng) {
    PacketGroup g = constant_group(0, 0);
    const int base = uniform(rng, 0, 31);
    for (auto& row : g.matrices[0])
        for (int& x : row) x = (base + uniform(rng, -1, 1) + 32) % 32;
    for (auto& row : g.matrices[1])
        for (int& x : row) x = uniform(rng, 0, 31);
    for (auto& row : g.matrices[2])
        for (int& x : row) x = uniform(rng, 0, 7) == 0;
    std::exponential_distribution<double> mag(0.7);
    for (auto& s : g.spectra) {
        for (int& x : s) x = static_cast<int>(mag(rng)) * (rng() & 1 ? -1 : 1);
        for (int i = 0; i < 3; ++i) s[uniform(rng, 0, kLines - 1)] = uniform(rng, -500, 500);
    }
    return g;
}

// Codes g into a packet of the given buffer, prefilled with `fill`.
std::unique_ptr<da_BinRWBase> encode(const PacketGroup& g, int capacity = 102400,
                                     unsigned char fill = 0xC3) {
    return write_group(default_layout(), g, coding_test::scratch_packet(capacity, fill));
}

// Decodes the packet; returns it spent, with the group in *g.
std::unique_ptr<da_BinRWBase> decode(std::unique_ptr<da_BinRWBase> packet, PacketGroup* g) {
    *g = read_group(default_layout(), packet);
    return packet;
}

TEST(PacketLayoutTest, FollowsTheSettings) {
    const struct {
        da_DSettings settings;
        std::vector<int> shape;  // cols and modulus of each matrix, frames, lines
    } cases[] = {
        {ds, {32, 32, 12, 32, 28, 2, 16, 800}},
        {{{1764}, {20, 64, 80}, {7, 9}, {3}}, {20, 64, 7, 9, 62, 2, 3, 1764}},
        {{{111}, {5, 2, 1}, {110, 1024}, {256}}, {5, 2, 110, 1024, 2, 2, 256, 111}},
    };
    for (const auto& c : cases) {
        const PacketLayout layout = layout_of(c.settings);
        std::vector<int> shape;
        for (const da_ArraySetup& m : layout.matrices)
            shape.insert(shape.end(), {m.cols, m.modulus});
        shape.insert(shape.end(), {layout.group.frames, layout.global.lines});
        EXPECT_EQ(shape, c.shape);
        EXPECT_EQ(layout.spectra(), 2 * layout.group.frames);
    }
}

TEST(PacketLayoutTest, GroupOfAnotherShapeIsNotWritten) {
    PacketGroup short_row = constant_group(0, 0);
    short_row.matrices[1][5].pop_back();
    PacketGroup missing_spectrum = constant_group(0, 0);
    missing_spectrum.spectra.pop_back();
    PacketGroup extra_frame = constant_group(0, 0);
    extra_frame.matrices[2].push_back(std::vector<int>(28, 0));
    for (const PacketGroup& g : {short_row, missing_spectrum, extra_frame})
        EXPECT_EQ(encode(g), nullptr);
}

TEST(PacketLayoutTest, AllZeroGroupTakes362Bits) {
    const PacketGroup g = constant_group(0, 0);
    auto p = encode(g);
    EXPECT_EQ(p->possition(), 362);
    EXPECT_EQ(p->bytes(), 46);
    // Field by field: the intensity matrix plain ("11") with a 14-bit total.
    da_BinReader r(*p);
    p->set_possition(0);
    EXPECT_EQ(r.read(2), 3);
    EXPECT_EQ(read_rng_num(r, 32 * 16 * 31 + 1), 0);
    EXPECT_EQ(r.possition(), 16);
    // Then the balance (15 bits) and flag (11 bits) matrices, also plain,
    // and 32 spectra of 10 zero bits each.
    EXPECT_EQ(coding_test::bit_string(*p, 16, 18), "11");
    EXPECT_EQ(coding_test::bit_string(*p, 31, 33), "11");
    EXPECT_EQ(coding_test::bit_string(*p, 42, 362), std::string(320, '0'));
}

TEST(PacketLayoutTest, DigitalSilenceTakes371Bits) {
    auto p = encode(constant_group(31, 16));
    EXPECT_EQ(p->possition(), 371);
    // Intensity: row differences ("10"), 25 bits in all; balance plain
    // ("11") at 15 bits; flags 11; spectra 320.
    EXPECT_EQ(coding_test::bit_string(*p, 0, 2), "10");
    EXPECT_EQ(coding_test::bit_string(*p, 25, 27), "11");
    EXPECT_EQ(coding_test::bit_string(*p, 40, 42), "11");
    EXPECT_EQ(coding_test::bit_string(*p, 51, 61), "0000000000");
}

TEST(PacketLayoutTest, SameGroupGivesTheSameBytesWhateverTheBufferHeld) {
    SeededRng rng(kSeed);
    const PacketGroup g = random_group(rng);
    auto a = encode(g, 102400, 0x00);
    auto b = encode(g, 102400, 0xFF);
    ASSERT_EQ(a->bytes(), b->bytes());
    EXPECT_EQ(std::vector<unsigned char>(a->data(), a->data() + a->bytes()),
              std::vector<unsigned char>(b->data(), b->data() + b->bytes()));
}

TEST(CoefficientCoderTest, DecodersReturnTheGroupAndEndAtTheLastBit) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 6; ++round) {
        const PacketGroup g = random_group(rng);
        auto p = encode(g);
        const int end = p->possition();
        PacketGroup back;
        auto spent = decode(coding_test::copy_packet(*p, p->bytes()), &back);
        EXPECT_EQ(back.matrices, g.matrices);
        EXPECT_EQ(back.spectra, g.spectra);
        EXPECT_EQ(spent->possition(), end);
        EXPECT_FALSE(spent->overran());
    }
}

TEST(CoefficientCoderTest, LoudGroupOutgrowsItsBufferAndStillDecodes) {
    SeededRng rng(kSeed);
    PacketGroup g = random_group(rng);
    for (auto& s : g.spectra)
        for (int& x : s) x = uniform(rng, -4000, 4000);
    auto p = encode(g, 64);
    EXPECT_GT(p->bytes(), 64);
    PacketGroup back;
    auto spent = decode(coding_test::copy_packet(*p, p->bytes()), &back);
    EXPECT_EQ(back.spectra, g.spectra);
    EXPECT_EQ(spent->possition(), p->possition());
}

void expect_residues(const std::vector<std::vector<int>>& rows, int n) {
    for (const auto& row : rows)
        for (int x : row) ASSERT_TRUE(x >= 0 && x < n) << x;
}

// Damaged packets: cut short, or foreign bytes. Reading stays inside the
// buffer (the sanitizer build checks), ends, keeps residues in range and
// reports a packet that was cut short.
TEST(CoefficientCoderTest, DamagedPacketsDecodeSafely) {
    SeededRng rng(kSeed);
    for (int round = 0; round < 40; ++round) {
        std::unique_ptr<da_BinRWBase> damaged;
        bool cut = round % 2 == 0;
        if (cut) {
            auto p = encode(random_group(rng));
            damaged = coding_test::copy_packet(*p, uniform(rng, 0, p->bytes() - 1));
        } else {
            damaged = coding_test::random_packet(rng, uniform(rng, 0, 3000));
            if (round % 4 == 1)
                for (int i = 0; i < damaged->capacity(); ++i) damaged->data()[i] |= 0x5D;
        }
        const int bits = damaged->capacity() * 8;
        PacketGroup back;
        auto spent = decode(std::move(damaged), &back);
        expect_residues(back.matrices[0], 32);
        expect_residues(back.matrices[1], 32);
        expect_residues(back.matrices[2], 2);
        if (cut) {
            EXPECT_TRUE(spent->overran());
        }
        EXPECT_EQ(spent->overran(), spent->possition() > bits);
    }
}

}  // namespace

}  // namespace x91
