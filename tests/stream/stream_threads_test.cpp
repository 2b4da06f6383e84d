// A stream decoded on several threads gives the audio and outcomes of one,
// whatever the feed: read at will, in one pass, or pushed in pieces.
#include <gtest/gtest.h>

#include "stream/stream_test_support.h"
#include "support/test_signals.h"
#include "support/x91_framing.h"

using namespace x91test;

namespace {

TEST(StreamThreadsTest, ThreadsChangeNothing) {
    const Bytes exact = write_stream(music_like_signal(9 * 14112 + 500, 16));
    Bytes damaged = exact;
    for (std::size_t at = kX91Header + 100; at + 200 < exact.size(); at += 2000)
        damaged[at] ^= 0x5A;
    for (const Bytes* file : {&exact, static_cast<const Bytes*>(&damaged)}) {
        SCOPED_TRACE(file == &exact ? "intact" : "damaged");
        const Decoded one = decode_stream(*file, Feed::at_will);
        ASSERT_FALSE(one.pcm.empty());
        for (Feed feed : {Feed::at_will, Feed::one_pass, Feed::pushed}) {
            for (int threads : {2, 4}) {
                SCOPED_TRACE(testing::Message()
                             << threads << " threads, feed " << static_cast<int>(feed));
                EXPECT_EQ(decode_stream(*file, feed, {{threads, 1}, nullptr}), one);
            }
        }
    }
}

}  // namespace
