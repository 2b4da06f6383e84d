// Runs the packet's readers on raw bits: the three matrices (intensity
// indices, side-stereo balances, block flags) and the signed spectra. The
// first byte picks where to start: 0 reads a whole packet in its layout,
// 1..3 one matrix alone and 4 one spectrum alone. Every value must lie in
// its code's range, and reading must stop within the bits plus the slack the
// codes allow, flagging when it ran past the end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "coding/layered_codes.h"
#include "coding/matrix_codes.h"
#include "format/checked_settings.h"
#include "format/settings.h"
#include "framework/bit_stream.h"
#include "graphs/packet_layout.h"

using namespace x91;

namespace {

// The layout of a default encode.
CheckedSettings default_settings() {
    std::optional<CheckedSettings> checked;
    if (!check_settings({da_CodeFeatures{}, ds, is}, checked).ok()) std::abort();
    return *checked;
}

const PacketLayout kLayout(default_settings());
const int kFrames = kLayout.group.frames;
const int kLines = kLayout.global.lines;

void check_matrix(da_BinReader& r, const da_ArraySetup& shape) {
    const auto m = znmatrix_read2(r, kFrames, shape.cols, shape.modulus);
    if (!m || m->rows() != kFrames || m->cols() != shape.cols) std::abort();
    for (int i = 0; i < kFrames; ++i)
        for (int j = 0; j < shape.cols; ++j)
            if ((*m)[i][j] < 0 || (*m)[i][j] >= shape.modulus) std::abort();
}

void check_spectrum(da_BinReader& r) {
    std::vector<int> v(kLines, 0x7FFFFFFF);
    read_z_seq(r, v.data(), kLines);
    // A magnitude is the number of layers it survived, and every layer
    // costs at least one bit, so no value can exceed the bits on offer plus
    // the layers that zero bits past the end complete.
    const long long bound = static_cast<long long>(r.packet().capacity()) * 8 + kLines + 1;
    for (int x : v)
        if (x == 0x7FFFFFFF || x < -bound || x > bound) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    const int mode = data[0] % 5;
    const int bytes = static_cast<int>(size - 1);
    // An exact-size heap copy, so any read beyond the packet is caught.
    auto buffer = std::make_unique<unsigned char[]>(static_cast<std::size_t>(bytes) + 1);
    if (bytes > 0) std::memcpy(buffer.get(), data + 1, static_cast<std::size_t>(bytes));
    da_BinRWBase packet(buffer.release(), bytes, true);
    da_BinReader r(packet);

    int last = 0;
    auto step = [&] {
        const int pos = r.possition();
        if (pos < last) std::abort();
        last = pos;
        // Past the end only through zero reads, and then flagged.
        if (pos > bytes * 8 && !r.overran()) std::abort();
    };
    if (mode == 0) {
        for (const da_ArraySetup& shape : kLayout.matrices) {
            check_matrix(r, shape);
            step();
        }
        for (int s = 0; s < kLayout.spectra(); ++s) {
            check_spectrum(r);
            step();
        }
    } else if (mode <= 3) {
        check_matrix(r, kLayout.matrices[mode - 1]);
        step();
    } else {
        check_spectrum(r);
        step();
    }
    // Bits beyond the end read as zeros, which end every code quickly: a
    // bounded number of bits per value read.
    const long long limit =
        static_cast<long long>(bytes) * 8 + 64LL * (3 * 32 * kFrames + 2 * kFrames * kLines);
    if (r.possition() > limit) std::abort();
    return 0;
}
