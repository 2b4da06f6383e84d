#include "coding/coefficient_coders.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "coding/integer_codes.h"
#include "framework/queue_item.h"
#include "support/coding_test_util.h"

namespace x91 {

namespace {

using namespace coding_test;

constexpr int kFrames = 16, kLines = 800;
const da_DGroupCodingSetup kGroup{kFrames};
const da_DGlobalSettings kGlobal{kLines};
const da_ArraySetup kIntensity{32, 32}, kBalance{12, 32}, kFlags{28, 2};

// One group's data: three matrices (row per frame) and 2 x 16 spectra.
struct Group {
    std::vector<std::vector<int>> intensity, balance, flags, spectra;
};

Group constant_group(int intensity, int balance) {
    Group g;
    g.intensity.assign(kFrames, std::vector<int>(32, intensity));
    g.balance.assign(kFrames, std::vector<int>(12, balance));
    g.flags.assign(kFrames, std::vector<int>(28, 0));
    g.spectra.assign(2 * kFrames, std::vector<int>(kLines, 0));
    return g;
}

Group random_group(std::mt19937& rng) {
    Group g = constant_group(0, 0);
    const int base = uniform(rng, 0, 31);
    for (auto& row : g.intensity)
        for (int& x : row) x = (base + uniform(rng, -1, 1) + 32) % 32;
    for (auto& row : g.balance)
        for (int& x : row) x = uniform(rng, 0, 31);
    for (auto& row : g.flags)
        for (int& x : row) x = uniform(rng, 0, 7) == 0;
    std::exponential_distribution<double> mag(0.7);
    for (auto& s : g.spectra) {
        for (int& x : s) x = static_cast<int>(mag(rng)) * (rng() & 1 ? -1 : 1);
        for (int i = 0; i < 3; ++i) s[uniform(rng, 0, kLines - 1)] = uniform(rng, -500, 500);
    }
    return g;
}

void put_rows(da_PDataQueue& q, const std::vector<std::vector<int>>& rows) {
    for (const auto& row : rows) {
        int* item = item_alloc<int>(row.size());
        std::copy(row.begin(), row.end(), item);
        q.put_data(item);
    }
}

std::vector<std::vector<int>> take_rows(da_PDataQueue& q, int count, int cols) {
    std::vector<std::vector<int>> rows;
    for (int i = 0; i < count; ++i) {
        int* item = static_cast<int*>(q.get_data());
        rows.emplace_back(item, item + cols);
        item_free(item);
    }
    return rows;
}

// The encoder's coder chain: packets and data in, full packets out.
struct EncoderChain {
    da_PDataQueue empty{16, packet_dispose}, p1{16, packet_dispose}, p2{16, packet_dispose},
        p3{16, packet_dispose}, done{16, packet_dispose};
    da_PDataQueue rows1{16}, rows2{16}, rows3{16}, spectra{64}, discard{64};
    da_ArrayEncoder ae1{kGroup, kIntensity}, ae2{kGroup, kBalance}, ae3{kGroup, kFlags};
    da_QSpecsEncoder qse{kGlobal, kGroup};

    EncoderChain() {
        ae1.packet_input = &empty, ae1.row_input = &rows1, ae1.row_output = &discard;
        ae1.packet_output = &p1;
        ae2.packet_input = &p1, ae2.row_input = &rows2, ae2.row_output = &discard;
        ae2.packet_output = &p2;
        ae3.packet_input = &p2, ae3.row_input = &rows3, ae3.row_output = &discard;
        ae3.packet_output = &p3;
        qse.packet_input = &p3, qse.array_input = &spectra, qse.array_output = &discard;
        qse.packet_output = &done;
    }
    ~EncoderChain() {
        while (discard.queued() > 0) item_free(discard.get_data());
    }

    // Encodes g into a packet of the given buffer, prefilled with `fill`.
    std::unique_ptr<da_BinRWBase> encode(const Group& g, int capacity = 102400,
                                         unsigned char fill = 0xC3) {
        empty.put_data(coding_test::scratch_packet(capacity, fill).release());
        put_rows(rows1, g.intensity);
        put_rows(rows2, g.balance);
        put_rows(rows3, g.flags);
        put_rows(spectra, g.spectra);
        ae1.work();
        ae2.work();
        ae3.work();
        qse.work();
        return std::unique_ptr<da_BinRWBase>(as_packet(done.get_data()));
    }
};

struct DecoderChain {
    da_PDataQueue in{16, packet_dispose}, p1{16, packet_dispose}, p2{16, packet_dispose},
        p3{16, packet_dispose}, done{16, packet_dispose};
    da_PDataQueue rows1{16}, rows2{16}, rows3{16}, spectra{64};
    da_ArrayDecoder ad1{kGroup, kIntensity}, ad2{kGroup, kBalance}, ad3{kGroup, kFlags};
    da_QSpecsDecoder qsd{kGlobal, kGroup};

    DecoderChain() {
        ad1.packet_input = &in, ad1.row_output = &rows1, ad1.packet_output = &p1;
        ad2.packet_input = &p1, ad2.row_output = &rows2, ad2.packet_output = &p2;
        ad3.packet_input = &p2, ad3.row_output = &rows3, ad3.packet_output = &p3;
        qsd.packet_input = &p3, qsd.array_output = &spectra, qsd.packet_output = &done;
    }

    // Decodes the packet; returns it spent, with the group in *g.
    std::unique_ptr<da_BinRWBase> decode(std::unique_ptr<da_BinRWBase> packet, Group* g) {
        in.put_data(packet.release());
        ad1.work();
        ad2.work();
        ad3.work();
        qsd.work();
        g->intensity = take_rows(rows1, kFrames, 32);
        g->balance = take_rows(rows2, kFrames, 12);
        g->flags = take_rows(rows3, kFrames, 28);
        g->spectra = take_rows(spectra, 2 * kFrames, kLines);
        return std::unique_ptr<da_BinRWBase>(as_packet(done.get_data()));
    }
};

TEST(CoefficientCoderTest, ModuleNames) {
    EXPECT_STREQ(da_ArrayEncoder(kGroup, kFlags).name, "da_ArrayEncoder");
    EXPECT_STREQ(da_ArrayDecoder(kGroup, kFlags).name, "da_ArrayDecoder");
    EXPECT_STREQ(da_QSpecsEncoder(kGlobal, kGroup).name, "da_QSpecsEncoder");
    EXPECT_STREQ(da_QSpecsDecoder(kGlobal, kGroup).name, "da_QSpecsDecoder ");
}

TEST(PacketLayoutTest, AllZeroGroupTakes362Bits) {
    EncoderChain e;
    const Group g = constant_group(0, 0);
    auto p = e.encode(g);
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
    EncoderChain e;
    auto p = e.encode(constant_group(31, 16));
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
    const Group g = random_group(rng);
    EncoderChain e;
    auto a = e.encode(g, 102400, 0x00);
    auto b = e.encode(g, 102400, 0xFF);
    ASSERT_EQ(a->bytes(), b->bytes());
    EXPECT_EQ(std::vector<unsigned char>(a->data(), a->data() + a->bytes()),
              std::vector<unsigned char>(b->data(), b->data() + b->bytes()));
}

TEST(ArrayEncoderTest, WaitsForAWholeGroupOfRows) {
    da_PDataQueue packets(16, packet_dispose), rows(32), out_rows(32),
        out_packets(16, packet_dispose);
    da_ArrayEncoder ae(kGroup, kBalance);
    ae.packet_input = &packets, ae.row_input = &rows, ae.row_output = &out_rows;
    ae.packet_output = &out_packets;
    packets.put_data(coding_test::scratch_packet(1024).release());
    packets.put_data(coding_test::scratch_packet(1024).release());
    std::vector<int*> given;
    for (int i = 0; i < 15; ++i) {
        given.push_back(item_alloc_zeroed<int>(12));
        rows.put_data(given.back());
    }
    ae.work();
    EXPECT_EQ(out_packets.queued(), 0);
    EXPECT_EQ(rows.queued(), 15);
    given.push_back(item_alloc_zeroed<int>(12));
    rows.put_data(given.back());
    ae.work();
    EXPECT_EQ(out_packets.queued(), 1);
    EXPECT_EQ(packets.queued(), 1);
    ASSERT_EQ(out_rows.queued(), 16);
    for (int* row : given)
        EXPECT_EQ(out_rows.get_data(), row) << "rows pass on unchanged, in order";
    for (int* row : given) item_free(row);
}

TEST(CoefficientCoderTest, DecodersReturnTheGroupAndEndAtTheLastBit) {
    SeededRng rng(kSeed);
    EncoderChain e;
    DecoderChain d;
    for (int round = 0; round < 6; ++round) {
        const Group g = random_group(rng);
        auto p = e.encode(g);
        const int end = p->possition();
        Group back;
        auto spent = d.decode(coding_test::copy_packet(*p, p->bytes()), &back);
        EXPECT_EQ(back.intensity, g.intensity);
        EXPECT_EQ(back.balance, g.balance);
        EXPECT_EQ(back.flags, g.flags);
        EXPECT_EQ(back.spectra, g.spectra);
        EXPECT_EQ(spent->possition(), end);
        EXPECT_FALSE(spent->overran());
    }
}

TEST(CoefficientCoderTest, LoudGroupOutgrowsItsBufferAndStillDecodes) {
    SeededRng rng(kSeed);
    Group g = random_group(rng);
    for (auto& s : g.spectra)
        for (int& x : s) x = uniform(rng, -4000, 4000);
    EncoderChain e;
    auto p = e.encode(g, 64);
    EXPECT_GT(p->bytes(), 64);
    DecoderChain d;
    Group back;
    auto spent = d.decode(coding_test::copy_packet(*p, p->bytes()), &back);
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
    EncoderChain e;
    DecoderChain d;
    for (int round = 0; round < 40; ++round) {
        std::unique_ptr<da_BinRWBase> damaged;
        bool cut = round % 2 == 0;
        if (cut) {
            auto p = e.encode(random_group(rng));
            damaged = coding_test::copy_packet(*p, uniform(rng, 0, p->bytes() - 1));
        } else {
            damaged = coding_test::random_packet(rng, uniform(rng, 0, 3000));
            if (round % 4 == 1)
                for (int i = 0; i < damaged->capacity(); ++i) damaged->data()[i] |= 0x5D;
        }
        const int bits = damaged->capacity() * 8;
        Group back;
        auto spent = d.decode(std::move(damaged), &back);
        expect_residues(back.intensity, 32);
        expect_residues(back.balance, 32);
        expect_residues(back.flags, 2);
        if (cut) {
            EXPECT_TRUE(spent->overran());
        }
        EXPECT_EQ(spent->overran(), spent->possition() > bits);
    }
}

}  // namespace

}  // namespace x91
