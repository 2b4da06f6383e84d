// The modules that write a group's matrices and spectra into a packet and
// read them back; their order in a graph is the packet's layout.
#pragma once

#include "format/settings.h"
#include "framework/packets.h"

namespace x91 {

// Codes `rows` rows (one per frame of a group) of `cols` residues mod
// `modulus` as one matrix; the rows go on unchanged.
class da_ArrayEncoder final : public da_PacketInProcess {
  public:
    da_ArrayEncoder(const da_DGroupCodingSetup& group, const da_ArraySetup& array);
    void work() override;

    int rows;
    int cols;
    int modulus;
    GetFace<int> row_input;
    PutFace<int> row_output;
    PutFace<da_BinRWBase> packet_output;
};

// Reads one matrix per packet and puts its rows, row 0 first, as new items.
class da_ArrayDecoder final : public da_PacketInProcess {
  public:
    da_ArrayDecoder(const da_DGroupCodingSetup& group, const da_ArraySetup& array);
    void work() override;

    int rows;
    int cols;
    int modulus;
    PutFace<int> row_output;
    PutFace<da_BinRWBase> packet_output;
};

// Codes the 2 x groups quantised spectra of a group (frame by frame, left
// before right) as signed sequences of `lines` values; the arrays go on
// unchanged.
class da_QSpecsEncoder final : public da_PacketInProcess {
  public:
    da_QSpecsEncoder(const da_DGlobalSettings& global, const da_DGroupCodingSetup& group);
    void work() override;

    int groups;
    int lines;
    GetFace<int> array_input;
    PutFace<int> array_output;
    PutFace<da_BinRWBase> packet_output;
};

// Reads 2 x groups spectra per packet and puts them as new arrays.
class da_QSpecsDecoder final : public da_PacketInProcess {
  public:
    da_QSpecsDecoder(const da_DGlobalSettings& global, const da_DGroupCodingSetup& group);
    void work() override;

    int groups;
    int lines;
    PutFace<int> array_output;
    PutFace<da_BinRWBase> packet_output;
};

}  // namespace x91
