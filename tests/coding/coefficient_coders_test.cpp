#include "coding/coefficient_coders.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "framework/typed_queues.h"
#include "support/coding_test_util.h"

namespace x91 {

namespace {

const da_DGroupCodingSetup kGroup{16};
const da_DGlobalSettings kGlobal{800};
const da_ArraySetup kBalance{12, 32};

TEST(CoefficientCoderTest, ModuleNames) {
    EXPECT_STREQ(da_ArrayEncoder(kGroup, kBalance).name, "da_ArrayEncoder");
    EXPECT_STREQ(da_ArrayDecoder(kGroup, kBalance).name, "da_ArrayDecoder");
    EXPECT_STREQ(da_QSpecsEncoder(kGlobal, kGroup).name, "da_QSpecsEncoder");
    EXPECT_STREQ(da_QSpecsDecoder(kGlobal, kGroup).name, "da_QSpecsDecoder ");
}

TEST(ArrayEncoderTest, WaitsForAWholeGroupOfRows) {
    DataQueue<da_BinRWBase> packets(16), out_packets(16);
    DataQueue<int> rows(32), out_rows(32);
    da_ArrayEncoder ae(kGroup, kBalance);
    ae.packet_input = packets, ae.row_input = rows, ae.row_output = out_rows;
    ae.packet_output = out_packets;
    packets.put_data(coding_test::scratch_packet(1024));
    packets.put_data(coding_test::scratch_packet(1024));
    std::vector<const int*> given;
    const auto put_row = [&] {
        auto row = item_alloc_zeroed<int>(12);
        given.push_back(row.get());
        rows.put_data(std::move(row));
    };
    for (int i = 0; i < 15; ++i) put_row();
    ae.work();
    EXPECT_EQ(out_packets.queued(), 0);
    EXPECT_EQ(rows.queued(), 15);
    put_row();
    ae.work();
    EXPECT_EQ(out_packets.queued(), 1);
    EXPECT_EQ(packets.queued(), 1);
    ASSERT_EQ(out_rows.queued(), 16);
    for (const int* row : given)
        EXPECT_EQ(out_rows.get_data().get(), row) << "rows pass on unchanged, in order";
}

}  // namespace

}  // namespace x91
