// The whole encode chain for one stream: forward transform plus encoder
// graph, joined by their three queues. PCM blocks in, finished packets out.
#pragma once

#include <memory>

#include "dsp/cdda_mdcst.h"
#include "format/checked_settings.h"
#include "format/settings.h"
#include "framework/bit_stream.h"
#include "framework/typed_queues.h"
#include "graphs/encoder.h"

namespace x91 {

class EncodeChain {
  public:
    static constexpr int kBlockFrames = 882;
    static constexpr int kBlockBytes = cdda_block_bytes;
    static_assert(kBlockBytes == kBlockFrames * 4);

    EncodeChain(const da_ESettings& e, const CheckedSettings& s,
                const TunedEncoderSetup* tuned = nullptr);
    ~EncodeChain();
    EncodeChain(const EncodeChain&) = delete;
    EncodeChain& operator=(const EncodeChain&) = delete;

    // Runs one block of 882 interleaved little-endian stereo frames
    // (3528 bytes) through the transform and the encoder.
    void feed_block(const unsigned char* pcm);

    // For a chain that starts part way through a stream: the block before
    // the first one fed, which the transform pairs with it. The encoder's
    // other state needs no warm-up: each masking curve comes from its own
    // frame's envelope, the coders keep nothing from packet to packet, and
    // packets are counted from the first block fed.
    void preload_block(const unsigned char* pcm) { transform_.preload_block(pcm); }

    // Packets the encoder has released, oldest first.
    bool has_packet() { return packets_.queued() > 0; }
    std::unique_ptr<da_BinRWBase> take_packet() { return packets_.get_data(); }

  private:
    // Declared so that destruction runs encoder, transform, then the queues.
    DataQueue<unsigned char> blocks_;
    DataQueue<float> spectra_;
    DataQueue<da_BinRWBase> packets_;
    da_CDDA_MDCST transform_;
    std::unique_ptr<da_Encoder> encoder_;
};

}  // namespace x91
