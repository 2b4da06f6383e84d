#include "graphs/decode_chain.h"

#include "framework/packets.h"
#include "framework/queue_item.h"

namespace x91 {

DecodeChain::DecodeChain(const CheckedSettings& s)
    : pcm_(16), spectra_(16), packets_(16, packet_dispose), transform_(s.dsettings().global) {
    decoder_ = std::make_unique<da_Decoder>(s);
    decoder_->input = &packets_;
    decoder_->output = &spectra_;
    decoder_->connect_inout();
    transform_.input = &spectra_;
    transform_.output = &pcm_;
}

DecodeChain::~DecodeChain() {
    decoder_.reset();
}

bool DecodeChain::feed_packet(std::unique_ptr<da_BinRWBase> packet) {
    packets_.put_data(packet.release());
    const int damaged_before = decoder_->damaged_packets();
    decoder_->work_t();
    transform_.work_t();
    return decoder_->damaged_packets() == damaged_before;
}

std::unique_ptr<unsigned char, DecodeChain::BlockDeleter> DecodeChain::take_block() {
    return std::unique_ptr<unsigned char, BlockDeleter>(
        static_cast<unsigned char*>(pcm_.get_data()));
}

}  // namespace x91
