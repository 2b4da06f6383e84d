// Standard input seen through libsndfile's virtual I/O: seeks that headers
// ask for, however large, move the position or are refused, never wrap.
#include "command/audio_input/stream_io.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

namespace x91::cli {
namespace {

TEST(StreamIoTest, SeeksAreTakenOrRefusedWithoutWrapping) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    StreamIo io(stream, "RIFF");
    const SF_VIRTUAL_IO calls = StreamIo::callbacks();
    char bytes[2];
    ASSERT_EQ(calls.read(bytes, 2, &io), 2);
    // Each seek from position 2; a refused one leaves it there.
    struct Case {
        sf_count_t offset;
        int whence;
        sf_count_t expected;
    };
    const Case cases[] = {
        {INT64_MAX, SEEK_CUR, -1}, {INT64_MAX - 2, SEEK_CUR, INT64_MAX},
        {INT64_MIN, SEEK_CUR, -1}, {-3, SEEK_CUR, -1},
        {-3, SEEK_SET, -1},        {0, SEEK_END, -1},
        {1, SEEK_CUR, 3},          {1, SEEK_SET, 1},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(calls.seek(2, SEEK_SET, &io), 2);
        EXPECT_EQ(calls.seek(c.offset, c.whence, &io), c.expected) << c.offset << ", " << c.whence;
        EXPECT_EQ(calls.tell(&io), c.expected < 0 ? 2 : c.expected);
    }
    std::fclose(stream);
}

}  // namespace
}  // namespace x91::cli
