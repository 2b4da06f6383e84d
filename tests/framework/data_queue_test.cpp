#include "framework/data_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace x91 {

namespace {

void* tag(long n) {
    return reinterpret_cast<void*>(n);
}

void ignore_item(void*) {}

TEST(DataQueueTest, NewQueueIsEmptyAndGetReturnsNull) {
    da_PDataQueue q(16);
    EXPECT_EQ(q.queued(), 0);
    EXPECT_EQ(q.get_data(), nullptr);
    EXPECT_EQ(q.queued(), 0);
}

TEST(DataQueueTest, SeventeenthPutDoublesCapacityAndKeepsOrder) {
    da_PDataQueue q(16, ignore_item);
    for (long i = 1; i <= 16; ++i) q.put_data(tag(i));
    EXPECT_EQ(q.capacity(), 16);
    q.put_data(tag(17));
    EXPECT_EQ(q.capacity(), 32);
    for (long i = 1; i <= 17; ++i) EXPECT_EQ(q.get_data(), tag(i));
    EXPECT_EQ(q.queued(), 0);
}

TEST(DataQueueTest, GrowthAcrossTheWrapPointKeepsFirstInFirstOut) {
    da_PDataQueue q(16, ignore_item);
    long next_put = 1, next_get = 1;
    for (int i = 0; i < 10; ++i) q.put_data(tag(next_put++));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(q.get_data(), tag(next_get++));
    for (int i = 0; i < 20; ++i) q.put_data(tag(next_put++));
    EXPECT_EQ(q.queued(), 22);
    EXPECT_EQ(q.capacity(), 32);
    while (q.queued() > 0) EXPECT_EQ(q.get_data(), tag(next_get++));
    EXPECT_EQ(next_get, next_put);
}

TEST(DataQueueTest, RepeatedGrowthWithInterleavedTakesStaysOrdered) {
    da_PDataQueue q(1, ignore_item);
    long next_put = 1, next_get = 1;
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i <= round % 7; ++i) q.put_data(tag(next_put++));
        if (round % 3 == 0) {
            EXPECT_EQ(q.get_data(), tag(next_get++));
        }
    }
    while (q.queued() > 0) EXPECT_EQ(q.get_data(), tag(next_get++));
    EXPECT_EQ(next_get, next_put);
}

std::vector<void*> disposed;
void record_disposal(void* item) {
    disposed.push_back(item);
}

TEST(DataQueueTest, DestructionDisposesOfQueuedItemsInOrder) {
    disposed.clear();
    {
        da_PDataQueue q(2, record_disposal);
        for (long i = 1; i <= 5; ++i) q.put_data(tag(i));
        EXPECT_EQ(q.get_data(), tag(1));
    }
    EXPECT_EQ(disposed, (std::vector<void*>{tag(2), tag(3), tag(4), tag(5)}));
}

TEST(DataQueueTest, DefaultDisposalFreesArrayItems) {
    // Run under LeakSanitizer: the queue must release what it still holds.
    da_PDataQueue q(16);
    q.put_data(item_alloc<float>(800).release());
    q.put_data(item_alloc<int>(32).release());
}

}  // namespace

}  // namespace x91
