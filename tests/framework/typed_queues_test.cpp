#include "framework/typed_queues.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "framework/bit_stream.h"

namespace x91 {

namespace {

Item<int> numbered(int k) {
    auto item = item_alloc<int>(4);
    item[0] = k;
    return item;
}

TEST(TypedQueuesTest, EndsHandItemsOverInOrder) {
    DataQueue<int> q(1);
    const PutFace<int> put = q;
    const GetFace<int> get = q;
    const LevelFace<int> level = q;
    EXPECT_EQ(get.get_data(), nullptr);
    auto first = numbered(0);
    const int* given = first.get();
    put.put_data(std::move(first));
    level.put_data(numbered(1));
    put.put_data(numbered(2));
    EXPECT_EQ(level.queued(), 3);
    EXPECT_EQ(get.get_data().get(), given);
    EXPECT_EQ(get.get_data()[0], 1);
    EXPECT_EQ(get.get_data()[0], 2);
    EXPECT_EQ(get.queued(), 0);
}

// Run under LeakSanitizer: what a queue still holds goes with it, packets
// with their buffers, and drained discards are freed.
TEST(TypedQueuesTest, LeftoverItemsAreReleasedAsTheirKind) {
    DataQueue<da_BinRWBase> packets;
    packets.put_data(std::make_unique<da_BinRWBase>(new unsigned char[64], 64, true));
    packets.put_data(std::make_unique<da_BinRWBase>(new unsigned char[8], 8, true));
    DataQueue<float> arrays;
    arrays.put_data(item_alloc<float>(800));
    DiscardQueue discard;
    static_cast<PutFace<float>>(discard).put_data(item_alloc<float>(800));
    static_cast<PutFace<unsigned char>>(discard).put_data(item_alloc<unsigned char>(3528));
    EXPECT_EQ(discard.queued(), 2);
    discard.drain();
    EXPECT_EQ(discard.queued(), 0);
    static_cast<PutFace<int>>(discard).put_data(item_alloc<int>(32));
}

}  // namespace

}  // namespace x91
