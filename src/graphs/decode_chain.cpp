#include "graphs/decode_chain.h"

#include <utility>

namespace x91 {

DecodeChain::DecodeChain(const CheckedSettings& s)
    : transform_(s.dsettings().global), frames_per_packet_(s.dsettings().group.frames) {
    decoder_ = std::make_unique<da_Decoder>(s);
    decoder_->input = packets_;
    decoder_->output = spectra_;
    decoder_->connect_inout();
    transform_.input = spectra_;
    transform_.output = pcm_;
}

DecodeChain::~DecodeChain() {
    decoder_.reset();
}

bool DecodeChain::feed_packet(std::unique_ptr<da_BinRWBase> packet) {
    packets_.put_data(std::move(packet));
    const int damaged_before = decoder_->damaged_packets();
    decoder_->work_t();
    transform_.work_t();
    return decoder_->damaged_packets() == damaged_before;
}

void DecodeChain::warm_up(std::unique_ptr<da_BinRWBase> packet, int kept_frames) {
    packets_.put_data(std::move(packet));
    decoder_->read_packets();
    decoder_->drop_read_frames(frames_per_packet_ - kept_frames);
    decoder_->rebuild_frames();
    transform_.work_t();
    while (pcm_.queued() > 0) pcm_.get_data();
}

}  // namespace x91
