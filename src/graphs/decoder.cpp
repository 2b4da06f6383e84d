#include "graphs/decoder.h"

namespace x91 {

da_Decoder::da_Decoder(const CheckedSettings& s)
    : is_(s.isettings()),
      ds_(s.dsettings()),
      cf_(s.features()),
      tables_(ds_.global, ds_.intensity),
      ad1_(ds_.group, da_ArraySetup{ds_.intensity.bands, ds_.intensity.steps}),
      ad2_(ds_.group, da_ArraySetup{ds_.side_stereo.bands, ds_.side_stereo.levels}),
      qsd_(ds_.global, ds_.group),
      iec_(ds_.global, ds_.intensity, tables_),
      smc_(ds_.global, ds_.side_stereo),
      mee_(ds_.global, is_.masking),
      dq_(ds_.global, is_.quantize),
      rcs_(ds_.global),
      sst_(ds_.global, ds_.side_stereo, -1, 2) {
    name = "da_Decoder";
    ad3_ = std::make_unique<da_ArrayDecoder>(ds_.group, dq_.rots_as());
}

da_Decoder::~da_Decoder() {
    ad3_.reset();
}

void da_Decoder::connect_inout() {
    da_PDataQueue& discard = queue(kDiscardQueue);
    for (int packet_queue : {70, 71, 72, 73}) mark_packet_queue(packet_queue);

    ad1_.packet_input = input;
    ad1_.row_output = &queue(10);
    ad1_.packet_output = &queue(70);

    ad2_.packet_input = &queue(70);
    ad2_.row_output = &queue(40);
    ad2_.packet_output = &queue(71);

    ad3_->packet_input = &queue(71);
    ad3_->row_output = &queue(80);
    ad3_->packet_output = &queue(72);

    qsd_.packet_input = &queue(72);
    qsd_.array_output = &queue(60);
    qsd_.packet_output = &queue(73);

    pg_.packet_input = &queue(73);

    iec_.input = &queue(10);
    iec_.output1 = &discard;
    iec_.output2 = &queue(20);

    smc_.input = &queue(20);
    smc_.output1 = &queue(21);
    smc_.output2 = &queue(30);

    mee_.input = &queue(21);
    mee_.output1 = &discard;
    mee_.output2 = &queue(50);

    dq_.flag_input = &queue(80);
    dq_.flag_output = &discard;
    dq_.index_input = &queue(60);
    dq_.index_output = &discard;
    dq_.curve_input = &queue(50);
    dq_.curve_output = &discard;
    dq_.spectrum_output = &queue(1);

    rcs_.input = &queue(1);
    rcs_.output1 = &discard;
    rcs_.output2 = &queue(2);

    sst_.input1 = &queue(2);
    sst_.input2 = &queue(30);
    sst_.input3 = &queue(40);
    sst_.output1 = output;
    sst_.output2 = &discard;
    sst_.output3 = &discard;
}

void da_Decoder::work() {
    // The packet decoders need only a packet, so a packet is read whole in
    // the call that brings it; the rest of the graph then works frame by
    // frame, one frame behind because each curve waits for the next envelope.
    ad1_.work_t();
    ad2_.work_t();
    ad3_->work_t();
    qsd_.work_t();
    pg_.work_t();
    iec_.work_t();
    smc_.work_t();
    mee_.work_t();
    dq_.work_t();
    rcs_.work_t();
    sst_.work_t();
    drain_discard_queue();
}

}  // namespace x91
