#include "graphs/decode_chain.h"

#include <utility>

namespace x91 {

DecodeChain::DecodeChain(const CheckedSettings& s) : transform_(s.dsettings().global) {
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

}  // namespace x91
