#include "graphs/encoder.h"

#include "graphs/queue_names.h"

namespace x91 {

da_Encoder::da_Encoder(const da_ESettings& e, const CheckedSettings& s,
                       const TunedEncoderSetup* tuned)
    : es_(e),
      is_(s.isettings()),
      ds_(s.dsettings()),
      layout_(s),
      tables_(ds_.global, ds_.intensity, tuned != nullptr ? IndexTable::kept : IndexTable::dropped),
      im_(ds_.global, ds_.intensity, tables_),
      iec_(ds_.global, ds_.intensity, tables_),
      smc_(ds_.global, ds_.side_stereo),
      ssm_(ds_.global, ds_.intensity, ds_.side_stereo),
      sst_(ds_.global, ds_.side_stereo, 1, 2),
      mee_(ds_.global, is_.masking),
      crs_(ds_.global),
      qz_(ds_.global, is_.quantize, es_.quantize),
      pc_(es_.packet_creator),
      ae1_(ds_.group, layout_.matrices[0]),
      ae2_(ds_.group, layout_.matrices[1]),
      ae3_(ds_.group, layout_.matrices[2]),
      qse_(ds_.global, ds_.group) {
    name = "da_Encoder";
    if (tuned) {
        tuned_im_ =
            std::make_unique<da_TunedIntensityMeasure>(ds_.global, ds_.intensity, tables_, *tuned);
        tuned_qz_ = std::make_unique<da_RdoQuantizator>(ds_.global, is_.quantize, *tuned);
    }
}

template <typename Measure>
void da_Encoder::connect_measure(Measure& measure) {
    using Q = EncoderQueues;
    measure.input = input;
    queues.join(Q::measured_spectra, measure.output1, ssm_.input1);
    queues.join(Q::intensity_indices, measure.output2, iec_.input);
}

template <typename Quantizer>
void da_Encoder::connect_quantizer(Quantizer& quantizer) {
    using Q = EncoderQueues;
    queues.join(Q::masking_curves, mee_.output2, quantizer.curve_input);
    queues.join(Q::real_spectra, crs_.output2, quantizer.spectrum_input);
    queues.discard(quantizer.curve_output);
    queues.discard(quantizer.spectrum_output);
    queues.join(Q::quantised_spectra, quantizer.index_output, qse_.array_input);
    queues.join(Q::block_flags, quantizer.flag_output, ae3_.row_input);
}

// The wiring table: each queue with the output that feeds it and the input
// that drains it.
void da_Encoder::connect_inout() {
    using Q = EncoderQueues;
    if (tuned_im_) {
        connect_measure(*tuned_im_);
    } else {
        connect_measure(im_);
    }
    queues.join(Q::intensity_rows, iec_.output1, ae1_.row_input);
    queues.join(Q::intensity_envelopes, iec_.output2, smc_.input);
    queues.join(Q::masking_envelopes, smc_.output1, mee_.input);
    queues.join(Q::stereo_maps, smc_.output2, ssm_.input2);
    queues.join(Q::balanced_spectra, ssm_.output1, sst_.input1);
    queues.join(Q::rotation_maps, ssm_.output2, sst_.input2);
    queues.join(Q::balance_indices, ssm_.output3, sst_.input3);
    queues.join(Q::rotated_spectra, sst_.output1, crs_.input);
    queues.discard(sst_.output2);
    queues.join(Q::balance_rows, sst_.output3, ae2_.row_input);
    queues.discard(mee_.output1);
    queues.discard(crs_.output1);
    if (tuned_qz_) {
        connect_quantizer(*tuned_qz_);
    } else {
        connect_quantizer(qz_);
    }
    queues.join(Q::empty_packets, pc_.output, ae1_.packet_input);
    queues.discard(ae1_.row_output);
    queues.join(Q::intensity_written, ae1_.packet_output, ae2_.packet_input);
    queues.discard(ae2_.row_output);
    queues.join(Q::balances_written, ae2_.packet_output, ae3_.packet_input);
    queues.discard(ae3_.row_output);
    queues.join(Q::flags_written, ae3_.packet_output, qse_.packet_input);
    queues.discard(qse_.array_output);
    qse_.packet_output = output;
}

void da_Encoder::work() {
    // A topological order of the graph: one call moves each frame as far as
    // its data allow. The masking curve of a frame leaves only with the next
    // frame, so quantisation runs one frame behind the analysis.
    if (tuned_im_) {
        tuned_im_->work_t();
    } else {
        im_.work_t();
    }
    iec_.work_t();
    smc_.work_t();
    ssm_.work_t();
    sst_.work_t();
    mee_.work_t();
    crs_.work_t();
    if (tuned_qz_) {
        tuned_qz_->work_t();
    } else {
        qz_.work_t();
    }
    pc_.work_t();
    ae1_.work_t();
    ae2_.work_t();
    ae3_.work_t();
    qse_.work_t();
    queues.drain_discard();
}

}  // namespace x91
