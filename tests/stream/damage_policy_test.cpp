// The one damage policy: damaged packets are decoded and counted, and the
// decode stops after so many in a row, in a stream and for a player's
// packets alike.
#include "stream/damage_policy.h"

#include <gtest/gtest.h>

#include <optional>

#include "format/settings_io.h"
#include "stream/packet_decoder.h"
#include "stream/stream_test_support.h"
#include "support/x91_framing.h"

using namespace x91test;

namespace {

TEST(DamagePolicyTest, StopsAfterTheLimitInARowOnly) {
    using x91::Status;
    const x91::Result ok, overrun{Status::packet_overrun, "its bits run past its end"},
        unread{Status::packet_unread_bytes, "left"}, refused{Status::packet_too_large, "none"};
    // Unread bytes and intact packets break a run; refused packets count.
    std::vector<x91::Result> run(x91::kMaxDamagedInARow - 1, overrun);
    for (const x91::Result& breaker : {ok, unread}) {
        x91::DamagePolicy policy;
        for (std::uint64_t p = 0; p < run.size(); ++p) static_cast<void>(policy.weigh(p, run[p]));
        EXPECT_TRUE(policy.weigh(7, breaker).status == breaker.status);
        EXPECT_EQ(policy.weigh(8, overrun).status, Status::packet_overrun);
        EXPECT_FALSE(policy.stopped());
    }
    x91::DamagePolicy policy;
    for (std::uint64_t p = 0; p < run.size(); ++p) static_cast<void>(policy.weigh(p, run[p]));
    const x91::Result last = policy.weigh(41, refused);
    EXPECT_EQ(last.status, Status::too_damaged);
    EXPECT_EQ(last.message, "packet 42 is damaged: none; stopped after 8 damaged packets in a row");
    EXPECT_TRUE(policy.stopped());
    policy.reset();
    EXPECT_FALSE(policy.stopped());
}

// A small damaged file cannot decode to an enormous one: 5000 packets of a
// byte each (25 KB) give the audio of 8 packets, not 26 minutes of it.
TEST(DamagePolicyTest, ASmallFileOfTinyPacketsStopsEarly) {
    Bytes file = write_stream(Pcm{}, false);
    file.resize(kX91Header);
    for (int i = 0; i < 5000; ++i) append_counted(file, {static_cast<std::uint8_t>(i)});
    append_end(file);
    for (Feed feed : {Feed::at_will, Feed::one_pass}) {
        const Decoded got = decode_stream(file, feed);
        EXPECT_LE(got.pcm.size(), 2u * x91::kMaxDamagedInARow * 16 * 882);
        ASSERT_EQ(got.outcomes.size(), static_cast<std::size_t>(x91::kMaxDamagedInARow));
        EXPECT_NE(got.outcomes.back().find("stopped after 8 damaged packets in a row"),
                  std::string::npos);
    }
}

// A player's decoder stops likewise, until it restarts elsewhere.
TEST(DamagePolicyTest, PacketDecoderStopsUntilARestart) {
    const Bytes file = write_stream(Pcm(2 * 3 * 14112, 100), false);
    std::optional<x91::CheckedSettings> settings;
    ASSERT_TRUE(x91::parse_x91_header(file.data(), file.size(), settings).ok());
    x91::PacketDecoder decoder(*settings);
    const std::uint8_t byte = 7;
    for (int i = 1; i < x91::kMaxDamagedInARow; ++i)
        EXPECT_EQ(decoder.decode(&byte, 1).status, x91::Status::packet_overrun);
    EXPECT_EQ(decoder.decode(&byte, 1).status, x91::Status::too_damaged);
    const Bytes good = packets_of(file).front();
    EXPECT_EQ(decoder.decode(good.data(), good.size()).status, x91::Status::too_damaged);
    decoder.restart(0);
    EXPECT_TRUE(decoder.decode(good.data(), good.size()).ok());
}

}  // namespace
