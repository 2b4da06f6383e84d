// What one packet holds, in order: three index matrices with a row per frame
// of the group (intensity indices, side-stereo balances, block flags), then
// the group's quantised spectra, two per frame, left before right. Each part
// has its coder module; the graphs run the four in this order, and
// write_group / read_group run them on one whole group outside a graph.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "format/checked_settings.h"
#include "format/settings.h"
#include "framework/bit_stream.h"

namespace x91 {

struct PacketLayout {
    explicit PacketLayout(const CheckedSettings& s);

    int spectra() const { return 2 * group.frames; }

    // Columns and modulus of each matrix, in packet order.
    std::array<da_ArraySetup, 3> matrices;
    da_DGroupCodingSetup group;  // frames per group: the rows of each matrix
    da_DGlobalSettings global;   // lines: the values of each spectrum
};

// One group's values in packet order: each matrix as its rows, then the
// spectra.
struct PacketGroup {
    std::array<std::vector<std::vector<int>>, 3> matrices;
    std::vector<std::vector<int>> spectra;
};

// Codes the group into `packet` (empty, of any size: the coders make it
// grow) and returns it finished; null if the group's shape is not the
// layout's.
std::unique_ptr<da_BinRWBase> write_group(const PacketLayout& layout, const PacketGroup& group,
                                          std::unique_ptr<da_BinRWBase> packet);

// Decodes a group from `packet`, which comes back read: at the position
// after the last bit read, flagged if reading ran past its end.
PacketGroup read_group(const PacketLayout& layout, std::unique_ptr<da_BinRWBase>& packet);

}  // namespace x91
