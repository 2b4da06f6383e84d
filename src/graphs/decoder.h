// The decoder graph: packets in, complex spectra out.
#pragma once

#include "analysis/intensity.h"
#include "analysis/masking.h"
#include "analysis/side_stereo.h"
#include "coding/coefficient_coders.h"
#include "format/checked_settings.h"
#include "format/settings.h"
#include "framework/packets.h"
#include "graphs/endecoder_base.h"
#include "graphs/packet_layout.h"
#include "quant/quantizers.h"

namespace x91 {

// Mirrors the encoder: rebuilds the intensity envelope from the decoded
// indices, derives the side-stereo map and the masking curve from it with the
// same modules and settings as the encoder, then undoes quantisation and
// stereo rotation.
class da_Decoder final : public da_EnDeCoderBase<da_BinRWBase, float> {
  public:
    explicit da_Decoder(const CheckedSettings& s);

    void connect_inout() override;
    // read_packets(), then rebuild_frames().
    void work() override;

    // The two halves of a step: the packet decoders read every packet
    // waiting on the input into rows and index arrays, one set per frame;
    // the rest of the graph then rebuilds the frames from them.
    void read_packets();
    void rebuild_frames();

    // Between the two halves, for a decoder that starts part way through a
    // stream: drops the oldest `count` frames read, as if the stream began
    // after them. The frames kept rebuild the state the next ones need.
    void drop_read_frames(int count);

    // Packets whose bits ran past their end so far: damage in the file.
    int damaged_packets() const { return pg_.damaged_packets(); }
    // Packets decoded with whole bytes left unread at their end.
    int under_read_packets() const { return pg_.under_read_packets(); }

  private:
    da_ISettings is_;
    da_DSettings ds_;
    PacketLayout layout_;  // the setups of the four decoders
    da_IntensityTables tables_;
    da_ArrayDecoder ad1_;
    da_ArrayDecoder ad2_;
    da_ArrayDecoder ad3_;
    da_QSpecsDecoder qsd_;
    da_PacketsGarbage pg_;
    da_IntensityEnvCreation iec_;
    da_StereoMapCreator smc_;
    da_MaskingEffectEvolve mee_;
    da_DeQuantizator dq_;
    da_StereoSideTransform sst_;
};

}  // namespace x91
