#include "graphs/packet_layout.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <tuple>
#include <utility>

#include "coding/coefficient_coders.h"
#include "framework/typed_queues.h"
#include "quant/quantizers.h"

namespace x91 {

namespace {

constexpr std::size_t kMatrices = std::tuple_size_v<decltype(PacketLayout::matrices)>;
// A packet's queue before each coder in turn, then the finished packet's.
using PacketQueues = std::array<DataQueue<da_BinRWBase>, kMatrices + 2>;

bool rows_are(const std::vector<std::vector<int>>& rows, int count, int size) {
    return static_cast<int>(rows.size()) == count &&
           std::all_of(rows.begin(), rows.end(),
                       [size](const auto& row) { return static_cast<int>(row.size()) == size; });
}

bool fits(const PacketLayout& layout, const PacketGroup& group) {
    for (std::size_t m = 0; m < kMatrices; ++m)
        if (!rows_are(group.matrices[m], layout.group.frames, layout.matrices[m].cols))
            return false;
    return rows_are(group.spectra, layout.spectra(), layout.global.lines);
}

void put_rows(DataQueue<int>& queue, const std::vector<std::vector<int>>& rows) {
    for (const auto& row : rows) {
        auto item = item_alloc<int>(row.size());
        std::copy(row.begin(), row.end(), item.get());
        queue.put_data(std::move(item));
    }
}

std::vector<std::vector<int>> take_rows(DataQueue<int>& queue, int size) {
    std::vector<std::vector<int>> rows;
    while (queue.queued() > 0) {
        const auto item = queue.get_data();
        rows.emplace_back(item.get(), item.get() + size);
    }
    return rows;
}

}  // namespace

PacketLayout::PacketLayout(const CheckedSettings& s)
    : matrices{da_ArraySetup{s.dsettings().intensity.bands, s.dsettings().intensity.steps},
               da_ArraySetup{s.dsettings().side_stereo.bands, s.dsettings().side_stereo.levels},
               da_QuantizeBaseClass::rots_as(s.dsettings().global)},
      group(s.dsettings().group),
      global(s.dsettings().global) {}

// Each coder runs once on its share, in packet order, and hands the packet
// on to the next one's queue.
std::unique_ptr<da_BinRWBase> write_group(const PacketLayout& layout, const PacketGroup& group,
                                          std::unique_ptr<da_BinRWBase> packet) {
    if (!packet || !fits(layout, group)) return nullptr;
    PacketQueues packets;
    DataQueue<int> values, spent;
    packets[0].put_data(std::move(packet));
    for (std::size_t m = 0; m < kMatrices; ++m) {
        da_ArrayEncoder coder(layout.group, layout.matrices[m]);
        coder.packet_input = packets[m];
        coder.row_input = values;
        coder.row_output = spent;
        coder.packet_output = packets[m + 1];
        put_rows(values, group.matrices[m]);
        coder.work();
    }
    da_QSpecsEncoder coder(layout.global, layout.group);
    coder.packet_input = packets[kMatrices];
    coder.array_input = values;
    coder.array_output = spent;
    coder.packet_output = packets.back();
    put_rows(values, group.spectra);
    coder.work();
    return packets.back().get_data();
}

PacketGroup read_group(const PacketLayout& layout, std::unique_ptr<da_BinRWBase>& packet) {
    PacketGroup group;
    if (!packet) return group;
    PacketQueues packets;
    DataQueue<int> values;
    packets[0].put_data(std::move(packet));
    for (std::size_t m = 0; m < kMatrices; ++m) {
        da_ArrayDecoder coder(layout.group, layout.matrices[m]);
        coder.packet_input = packets[m];
        coder.row_output = values;
        coder.packet_output = packets[m + 1];
        coder.work();
        group.matrices[m] = take_rows(values, layout.matrices[m].cols);
    }
    da_QSpecsDecoder coder(layout.global, layout.group);
    coder.packet_input = packets[kMatrices];
    coder.array_output = values;
    coder.packet_output = packets.back();
    coder.work();
    group.spectra = take_rows(values, layout.global.lines);
    packet = packets.back().get_data();
    return group;
}

}  // namespace x91
