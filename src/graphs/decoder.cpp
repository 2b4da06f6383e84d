#include "graphs/decoder.h"

#include "graphs/queue_names.h"

namespace x91 {

da_Decoder::da_Decoder(const CheckedSettings& s)
    : is_(s.isettings()),
      ds_(s.dsettings()),
      layout_(s),
      tables_(ds_.global, ds_.intensity, IndexTable::dropped),
      ad1_(ds_.group, layout_.matrices[0]),
      ad2_(ds_.group, layout_.matrices[1]),
      ad3_(ds_.group, layout_.matrices[2]),
      qsd_(ds_.global, ds_.group),
      iec_(ds_.global, ds_.intensity, tables_),
      smc_(ds_.global, ds_.side_stereo),
      mee_(ds_.global, is_.masking),
      dq_(ds_.global, is_.quantize, DequantisedForm::complex_lines),
      sst_(ds_.global, ds_.side_stereo, -1, 2) {
    name = "da_Decoder";
}

// The wiring table: each queue with the output that feeds it and the input
// that drains it.
void da_Decoder::connect_inout() {
    using Q = DecoderQueues;
    ad1_.packet_input = input;
    queues.join(Q::intensity_indices, ad1_.row_output, iec_.input);
    queues.join(Q::intensity_read, ad1_.packet_output, ad2_.packet_input);
    queues.join(Q::balance_indices, ad2_.row_output, sst_.input3);
    queues.join(Q::balances_read, ad2_.packet_output, ad3_.packet_input);
    queues.join(Q::block_flags, ad3_.row_output, dq_.flag_input);
    queues.join(Q::flags_read, ad3_.packet_output, qsd_.packet_input);
    queues.join(Q::quantised_spectra, qsd_.array_output, dq_.index_input);
    queues.join(Q::spent_packets, qsd_.packet_output, pg_.packet_input);
    queues.discard(iec_.output1);
    queues.join(Q::intensity_envelopes, iec_.output2, smc_.input);
    queues.join(Q::masking_envelopes, smc_.output1, mee_.input);
    queues.join(Q::stereo_maps, smc_.output2, sst_.input2);
    queues.discard(mee_.output1);
    queues.join(Q::masking_curves, mee_.output2, dq_.curve_input);
    queues.discard(dq_.flag_output);
    queues.discard(dq_.index_output);
    queues.discard(dq_.curve_output);
    queues.join(Q::complex_spectra, dq_.spectrum_output, sst_.input1);
    sst_.output1 = output;
    queues.discard(sst_.output2);
    queues.discard(sst_.output3);
}

void da_Decoder::work() {
    read_packets();
    rebuild_frames();
}

// The packet decoders need only a packet, so a packet is read whole in the
// step that brings it.
void da_Decoder::read_packets() {
    ad1_.work_t();
    ad2_.work_t();
    ad3_.work_t();
    qsd_.work_t();
    pg_.work_t();
}

// Frame by frame, one frame behind the packets: each curve waits for the
// next frame's envelope.
void da_Decoder::rebuild_frames() {
    iec_.work_t();
    smc_.work_t();
    mee_.work_t();
    dq_.work_t();
    sst_.work_t();
    queues.drain_discard();
}

void da_Decoder::drop_read_frames(int count) {
    for (int frame = 0; frame < count; ++frame) {
        iec_.input.get_data();
        sst_.input3.get_data();
        dq_.flag_input.get_data();
        dq_.index_input.get_data();  // left
        dq_.index_input.get_data();  // right
    }
}

}  // namespace x91
