#include "storage/memory_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace x91 {

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(MemoryStreamTest, BorrowedBytesAreReadInPlaceAndNeverWritten) {
    const Bytes kept = {1, 2, 3};
    MemoryStream in(kept.data(), kept.size());
    char got[4] = {};
    EXPECT_EQ(in.read(got, 2), 2);
    EXPECT_EQ(got[1], 2);
    EXPECT_EQ(in.size(), 3);
    EXPECT_EQ(in.write("x", 1), 0);
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.possition(), -1);
    EXPECT_EQ(kept, (Bytes{1, 2, 3}));

    MemoryStream nothing(nullptr, 5);
    EXPECT_EQ(nothing.size(), 0) << "no bytes stand behind a null pointer";
    EXPECT_EQ(nothing.read(got, 1), 0);
}

TEST(MemoryStreamTest, ShortReadsFailForGoodAndWritesBeyondTheEndFillWithZeros) {
    MemoryStream m(Bytes{7, 8});
    char got[4] = {};
    EXPECT_EQ(m.read(got, 3), 2);
    EXPECT_TRUE(m.failed());
    EXPECT_EQ(m.read(got, 1), 0);
    EXPECT_EQ(m.seek(0), -1);

    MemoryStream out;
    EXPECT_EQ(out.seek(3), 3);
    EXPECT_EQ(out.write("ab", 2), 2);
    EXPECT_EQ(std::move(out).take_bytes(), (Bytes{0, 0, 0, 'a', 'b'}));
}

}  // namespace

}  // namespace x91
