#include "framework/packets.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "framework/debug_messages.h"

namespace x91 {

namespace {

std::unique_ptr<da_BinRWBase> packet_at(int bit_pos, int capacity = 32) {
    auto p = std::make_unique<da_BinRWBase>(new unsigned char[capacity], capacity, true);
    p->set_possition(bit_pos);
    return p;
}

// A packet module that only holds packets, to see what its base does.
class HoldingModule final : public da_PacketInProcess {
  public:
    void work() override {}
};

TEST(PacketCreatorTest, KeepsTheConfiguredNumberOfEmptyPacketsWaiting) {
    DataQueue<da_BinRWBase> out(16);
    da_PacketCreator creator(da_EPacketCreatorSetup{1000, 4});
    creator.output = out;
    EXPECT_STREQ(creator.name, "da_PacketCreator");
    creator.work();
    ASSERT_EQ(out.queued(), 4);
    creator.work();
    EXPECT_EQ(out.queued(), 4);
    {
        const auto taken = out.get_data();
        EXPECT_EQ(taken->capacity(), 1000);
        EXPECT_TRUE(taken->owns());
        EXPECT_EQ(taken->possition(), 0);
        EXPECT_FALSE(taken->overran());
    }
    creator.work();
    EXPECT_EQ(out.queued(), 4);
}

TEST(PacketInProcessTest, DestroyingInputPacketsSumsTheirBitPositions) {
    DataQueue<da_BinRWBase> in(16);
    HoldingModule m;
    m.packet_input = in;
    EXPECT_EQ(m.destroy_input_packerts(), 0);
    in.put_data(packet_at(100));
    in.put_data(packet_at(13));
    EXPECT_EQ(m.destroy_input_packerts(), 113);
    EXPECT_EQ(in.queued(), 0);
}

TEST(PacketInProcessTest, PacketsStillWaitingGoWithTheModule) {
    DataQueue<da_BinRWBase> in(16);
    {
        HoldingModule m;
        m.packet_input = in;
        in.put_data(packet_at(5));
        in.put_data(packet_at(7));
    }
    EXPECT_EQ(in.queued(), 0);  // and LeakSanitizer sees both buffers freed
}

TEST(PacketsGarbageTest, ReportsTheBytesItDisposedOfWhenDebugging) {
    DataQueue<da_BinRWBase> in(16);
    const bool saved = DebugMsgsOn;
    DebugMsgsOn = true;
    testing::internal::CaptureStdout();
    {
        da_PacketsGarbage garbage;
        EXPECT_STREQ(garbage.name, "da_PacketsGarbage");
        garbage.packet_input = in;
        in.put_data(packet_at(100));
        in.put_data(packet_at(13));
        garbage.work();
        EXPECT_EQ(garbage.total_bits, 113);
    }
    const std::string out = testing::internal::GetCapturedStdout();
    DebugMsgsOn = saved;
    EXPECT_NE(out.find("'Destroyed packets' bytesize : 14\n"), std::string::npos) << out;
}

TEST(PacketsGarbageTest, CountsPacketsThatRanPastTheirEnd) {
    DataQueue<da_BinRWBase> in(16);
    da_PacketsGarbage garbage;
    garbage.packet_input = in;
    auto damaged = packet_at(0, 1);
    da_BinReader(*damaged).read(9);
    in.put_data(std::move(damaged));
    in.put_data(packet_at(8, 1));
    garbage.work();
    EXPECT_EQ(garbage.damaged_packets(), 1);
    EXPECT_EQ(garbage.total_bits, 17);
}

TEST(PacketFromBytesTest, OwnsTheBytesAndStartsAtZero) {
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[3]{0x0D, 0, 0});
    const unsigned char* raw = bytes.get();
    std::unique_ptr<da_BinRWBase> p = packet_from_bytes(std::move(bytes), 3);
    EXPECT_EQ(p->data(), raw);
    EXPECT_EQ(p->capacity(), 3);
    EXPECT_TRUE(p->owns());
    EXPECT_EQ(da_BinReader(*p).read(4), 0xB);  // bits 1, 0, 1, 1 in stream order
}

}  // namespace

}  // namespace x91
