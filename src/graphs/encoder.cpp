#include "graphs/encoder.h"

namespace x91 {

da_Encoder::da_Encoder(const da_ESettings& e, const CheckedSettings& s)
    : es_(e),
      is_(s.isettings()),
      ds_(s.dsettings()),
      cf_(s.features()),
      tables_(ds_.global, ds_.intensity),
      im_(ds_.global, ds_.intensity, tables_),
      iec_(ds_.global, ds_.intensity, tables_),
      smc_(ds_.global, ds_.side_stereo),
      ssm_(ds_.global, ds_.intensity, ds_.side_stereo),
      sst_(ds_.global, ds_.side_stereo, 1, 2),
      mee_(ds_.global, is_.masking),
      crs_(ds_.global),
      qz_(ds_.global, is_.quantize, es_.quantize),
      pc_(es_.packet_creator),
      ae1_(ds_.group, da_ArraySetup{ds_.intensity.bands, ds_.intensity.steps}),
      ae2_(ds_.group, da_ArraySetup{ds_.side_stereo.bands, ds_.side_stereo.levels}),
      qse_(ds_.global, ds_.group) {
    name = "da_Encoder";
    ae3_ = std::make_unique<da_ArrayEncoder>(ds_.group, qz_.rots_as());
}

// The flag coder goes first; the members then follow in reverse order of
// construction while the base's queues still exist.
da_Encoder::~da_Encoder() {
    ae3_.reset();
}

void da_Encoder::connect_inout() {
    da_PDataQueue& discard = queue(kDiscardQueue);
    for (int packet_queue : {70, 71, 72, 73}) mark_packet_queue(packet_queue);

    im_.input = input;
    im_.output1 = &queue(1);
    im_.output2 = &queue(10);

    iec_.input = &queue(10);
    iec_.output1 = &queue(11);
    iec_.output2 = &queue(20);

    smc_.input = &queue(20);
    smc_.output1 = &queue(21);
    smc_.output2 = &queue(30);

    ssm_.input1 = &queue(1);
    ssm_.input2 = &queue(30);
    ssm_.output1 = &queue(2);
    ssm_.output2 = &queue(31);
    ssm_.output3 = &queue(40);

    sst_.input1 = &queue(2);
    sst_.input2 = &queue(31);
    sst_.input3 = &queue(40);
    sst_.output1 = &queue(3);
    sst_.output2 = &discard;
    sst_.output3 = &queue(41);

    mee_.input = &queue(21);
    mee_.output1 = &discard;
    mee_.output2 = &queue(50);

    crs_.input = &queue(3);
    crs_.output1 = &discard;
    crs_.output2 = &queue(4);

    qz_.curve_input = &queue(50);
    qz_.curve_output = &discard;
    qz_.spectrum_input = &queue(4);
    qz_.spectrum_output = &discard;
    qz_.index_output = &queue(60);
    qz_.flag_output = &queue(80);

    pc_.output = &queue(70);

    ae1_.packet_input = &queue(70);
    ae1_.row_input = &queue(11);
    ae1_.row_output = &discard;
    ae1_.packet_output = &queue(71);

    ae2_.packet_input = &queue(71);
    ae2_.row_input = &queue(41);
    ae2_.row_output = &discard;
    ae2_.packet_output = &queue(72);

    ae3_->packet_input = &queue(72);
    ae3_->row_input = &queue(80);
    ae3_->row_output = &discard;
    ae3_->packet_output = &queue(73);

    qse_.packet_input = &queue(73);
    qse_.array_input = &queue(60);
    qse_.array_output = &discard;
    qse_.packet_output = output;
}

void da_Encoder::work() {
    // A topological order of the graph: one call moves each frame as far as
    // its data allow. The masking curve of a frame leaves only with the next
    // frame, so quantisation runs one frame behind the analysis.
    im_.work_t();
    iec_.work_t();
    smc_.work_t();
    ssm_.work_t();
    sst_.work_t();
    mee_.work_t();
    crs_.work_t();
    qz_.work_t();
    pc_.work_t();
    ae1_.work_t();
    ae2_.work_t();
    ae3_->work_t();
    qse_.work_t();
    drain_discard_queue();
}

}  // namespace x91
