// The encoder graph: complex spectra in, finished packets out.
#pragma once

#include <memory>

#include "analysis/intensity.h"
#include "analysis/masking.h"
#include "analysis/side_stereo.h"
#include "coding/coefficient_coders.h"
#include "dsp/spectrum_converters.h"
#include "format/checked_settings.h"
#include "format/settings.h"
#include "framework/packets.h"
#include "graphs/endecoder_base.h"
#include "graphs/packet_layout.h"
#include "quant/quantizers.h"
#include "tuned/rdo_quantizer.h"
#include "tuned/tuned_intensity.h"
#include "tuned/tuned_setup.h"

namespace x91 {

// Everything the decoder needs to mirror the encoder's decisions is in the
// packet or computed from it: the masking curve and the side-stereo map are
// derived from the transmitted (quantised) intensity envelope, exactly as the
// decoder will derive them.
class da_Encoder final : public da_EnDeCoderBase<float, da_BinRWBase> {
  public:
    // With `tuned`, the tuned quantiser takes the standard one's place: other
    // choices of what to send, the same packet layout.
    da_Encoder(const da_ESettings& e, const CheckedSettings& s,
               const TunedEncoderSetup* tuned = nullptr);

    void connect_inout() override;
    void work() override;

  private:
    // Joins the quantiser's ends, whichever quantiser it is.
    template <typename Measure>
    void connect_measure(Measure& measure);
    template <typename Quantizer>
    void connect_quantizer(Quantizer& quantizer);

    da_ESettings es_;
    da_ISettings is_;
    da_DSettings ds_;
    PacketLayout layout_;  // the setups of the four coders
    da_IntensityTables tables_;
    da_IntensityMeasure im_;
    da_IntensityEnvCreation iec_;
    da_StereoMapCreator smc_;
    da_StereoSideMeasure ssm_;
    da_StereoSideTransform sst_;
    da_MaskingEffectEvolve mee_;
    da_CRSpecsTransform crs_;
    da_Quantizator qz_;
    da_PacketCreator pc_;
    da_ArrayEncoder ae1_;
    da_ArrayEncoder ae2_;
    da_ArrayEncoder ae3_;
    da_QSpecsEncoder qse_;
    // The tuned mode's modules, run in the places of im_ and qz_.
    std::unique_ptr<da_TunedIntensityMeasure> tuned_im_;
    std::unique_ptr<da_RdoQuantizator> tuned_qz_;
};

}  // namespace x91
