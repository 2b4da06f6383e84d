#include "framework/packets.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/debug_messages.h"

namespace x91 {

namespace {

da_BinRWBase* packet_at(int bit_pos, int capacity = 32) {
    auto* p = new da_BinRWBase(new unsigned char[capacity], capacity, true);
    p->set_possition(bit_pos);
    return p;
}

// A packet module that only holds packets, to see what its base does.
class HoldingModule final : public da_PacketInProcess {
  public:
    void work() override {}
};

TEST(PacketCreatorTest, KeepsTheConfiguredNumberOfEmptyPacketsWaiting) {
    da_PDataQueue out(16, packet_dispose);
    da_PacketCreator creator(da_EPacketCreatorSetup{1000, 4});
    creator.output = &out;
    EXPECT_STREQ(creator.name, "da_PacketCreator");
    creator.work();
    ASSERT_EQ(out.queued(), 4);
    creator.work();
    EXPECT_EQ(out.queued(), 4);
    da_BinRWBase* taken = as_packet(out.get_data());
    EXPECT_EQ(taken->capacity(), 1000);
    EXPECT_TRUE(taken->owns());
    EXPECT_EQ(taken->possition(), 0);
    EXPECT_FALSE(taken->overran());
    packet_dispose(taken);
    creator.work();
    EXPECT_EQ(out.queued(), 4);
}

TEST(PacketInProcessTest, DestroyingInputPacketsSumsTheirBitPositions) {
    da_PDataQueue in(16, packet_dispose);
    HoldingModule m;
    m.packet_input = &in;
    EXPECT_EQ(m.destroy_input_packerts(), 0);
    in.put_data(packet_at(100));
    in.put_data(packet_at(13));
    EXPECT_EQ(m.destroy_input_packerts(), 113);
    EXPECT_EQ(in.queued(), 0);
}

TEST(PacketInProcessTest, PacketsStillWaitingGoWithTheModule) {
    da_PDataQueue in(16, packet_dispose);
    {
        HoldingModule m;
        m.packet_input = &in;
        in.put_data(packet_at(5));
        in.put_data(packet_at(7));
    }
    EXPECT_EQ(in.queued(), 0);  // and LeakSanitizer sees both buffers freed
}

TEST(PacketsGarbageTest, ReportsTheBytesItDisposedOfWhenDebugging) {
    da_PDataQueue in(16, packet_dispose);
    const bool saved = DebugMsgsOn;
    DebugMsgsOn = true;
    testing::internal::CaptureStdout();
    {
        da_PacketsGarbage garbage;
        EXPECT_STREQ(garbage.name, "da_PacketsGarbage");
        garbage.packet_input = &in;
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
    da_PDataQueue in(16, packet_dispose);
    da_PacketsGarbage garbage;
    garbage.packet_input = &in;
    da_BinRWBase* damaged = packet_at(0, 1);
    da_BinReader(*damaged).read(9);
    in.put_data(damaged);
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
