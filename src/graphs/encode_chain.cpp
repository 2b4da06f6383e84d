#include "graphs/encode_chain.h"

#include <cstring>

#include "framework/packets.h"
#include "framework/queue_item.h"

namespace x91 {

EncodeChain::EncodeChain(const da_ESettings& e, const CheckedSettings& s)
    : blocks_(16), spectra_(16), packets_(16, packet_dispose), transform_(s.dsettings().global) {
    encoder_ = std::make_unique<da_Encoder>(e, s);
    transform_.input = &blocks_;
    transform_.output = &spectra_;
    encoder_->input = &spectra_;
    encoder_->output = &packets_;
    encoder_->connect_inout();
}

EncodeChain::~EncodeChain() {
    encoder_.reset();
}

void EncodeChain::feed_block(const unsigned char* pcm) {
    auto* block = item_alloc<unsigned char>(kBlockBytes);
    std::memcpy(block, pcm, kBlockBytes);
    blocks_.put_data(block);
    transform_.work_t();
    encoder_->work_t();
}

std::unique_ptr<da_BinRWBase> EncodeChain::take_packet() {
    return std::unique_ptr<da_BinRWBase>(static_cast<da_BinRWBase*>(packets_.get_data()));
}

}  // namespace x91
