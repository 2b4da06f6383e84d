#include "coding/coefficient_coders.h"

#include <utility>
#include <vector>

#include "coding/layered_codes.h"
#include "coding/matrix_codes.h"

namespace x91 {

da_ArrayEncoder::da_ArrayEncoder(const da_DGroupCodingSetup& group, const da_ArraySetup& array)
    : rows(group.frames), cols(array.cols), modulus(array.modulus) {
    name = "da_ArrayEncoder";
}

void da_ArrayEncoder::work() {
    while (packet_input.queued() >= 1 && row_input.queued() >= rows) {
        auto packet = packet_input.get_data();
        da_IntMatrix matrix(row_input, rows, cols);
        da_BinWriter w(*packet);
        znmatrix_write2(w, matrix, modulus);
        // A packet handed on is always clean above its end, whatever the
        // buffer held before, whichever coder is the last.
        packet->finish();
        matrix.put_to_queue(row_output);
        packet_output.put_data(std::move(packet));
    }
}

da_ArrayDecoder::da_ArrayDecoder(const da_DGroupCodingSetup& group, const da_ArraySetup& array)
    : rows(group.frames), cols(array.cols), modulus(array.modulus) {
    name = "da_ArrayDecoder";
}

void da_ArrayDecoder::work() {
    while (packet_input.queued() >= 1) {
        auto packet = packet_input.get_data();
        da_BinReader r(*packet);
        znmatrix_read2(r, rows, cols, modulus)->put_to_queue(row_output);
        packet_output.put_data(std::move(packet));
    }
}

da_QSpecsEncoder::da_QSpecsEncoder(const da_DGlobalSettings& global,
                                   const da_DGroupCodingSetup& group)
    : groups(group.frames), lines(global.lines) {
    name = "da_QSpecsEncoder";
}

void da_QSpecsEncoder::work() {
    const int count = 2 * groups;
    std::vector<Item<int>> arrays(count);
    while (packet_input.queued() >= 1 && array_input.queued() >= count) {
        auto packet = packet_input.get_data();
        for (Item<int>& a : arrays) a = array_input.get_data();
        da_BinWriter w(*packet);
        for (const Item<int>& a : arrays) write_z_seq(w, a.get(), lines);
        packet->finish();
        for (Item<int>& a : arrays) array_output.put_data(std::move(a));
        packet_output.put_data(std::move(packet));
    }
}

da_QSpecsDecoder::da_QSpecsDecoder(const da_DGlobalSettings& global,
                                   const da_DGroupCodingSetup& group)
    : groups(group.frames), lines(global.lines) {
    name = "da_QSpecsDecoder ";
}

void da_QSpecsDecoder::work() {
    while (packet_input.queued() >= 1) {
        auto packet = packet_input.get_data();
        da_BinReader r(*packet);
        for (int i = 0; i < 2 * groups; ++i) {
            auto a = item_alloc<int>(lines);
            read_z_seq(r, a.get(), lines);
            array_output.put_data(std::move(a));
        }
        packet_output.put_data(std::move(packet));
    }
}

}  // namespace x91
