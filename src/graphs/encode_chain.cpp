#include "graphs/encode_chain.h"

#include <cstring>
#include <utility>

namespace x91 {

EncodeChain::EncodeChain(const da_ESettings& e, const CheckedSettings& s,
                         const TunedEncoderSetup* tuned)
    : transform_(s.dsettings().global) {
    encoder_ = std::make_unique<da_Encoder>(e, s, tuned);
    transform_.input = blocks_;
    transform_.output = spectra_;
    encoder_->input = spectra_;
    encoder_->output = packets_;
    encoder_->connect_inout();
}

EncodeChain::~EncodeChain() {
    encoder_.reset();
}

void EncodeChain::feed_block(const unsigned char* pcm) {
    auto block = item_alloc<unsigned char>(kBlockBytes);
    std::memcpy(block.get(), pcm, kBlockBytes);
    blocks_.put_data(std::move(block));
    transform_.work_t();
    encoder_->work_t();
}

}  // namespace x91
