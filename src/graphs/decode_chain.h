// The whole decode chain for one stream: decoder graph plus inverse
// transform, joined by their three queues. Packets in, PCM blocks out.
#pragma once

#include <memory>

#include "dsp/cdda_mdcst.h"
#include "format/checked_settings.h"
#include "framework/bit_stream.h"
#include "framework/typed_queues.h"
#include "graphs/decoder.h"

namespace x91 {

class DecodeChain {
  public:
    static constexpr int kBlockBytes = cdda_block_bytes;

    explicit DecodeChain(const CheckedSettings& s);
    ~DecodeChain();
    DecodeChain(const DecodeChain&) = delete;
    DecodeChain& operator=(const DecodeChain&) = delete;

    // Decodes one packet. Returns false when its bits ran past its end (a
    // damaged packet, decoded as far as it goes).
    bool feed_packet(std::unique_ptr<da_BinRWBase> packet);

    // A chain that starts part way through a stream is warmed up with the
    // last frames before its first packet: the one before the last, whose
    // rebuilt second half the first block out overlaps, and the last, whose
    // curve waits for the next frame. Nothing older leaves a trace.
    static constexpr int kWarmUpFrames = 2;

    // Reads a packet from before the chain's start and keeps only its last
    // `kept_frames` frames, which count among the warm-up frames; the audio
    // they release is dropped.
    void warm_up(std::unique_ptr<da_BinRWBase> packet, int kept_frames);

    // Packets decoded so far that left a whole byte or more unread at their
    // end. Each packet is read whole in the call that feeds it.
    int under_read_packets() const { return decoder_->under_read_packets(); }

    // PCM blocks of 3528 bytes ready for writing, oldest first.
    bool has_block() { return pcm_.queued() > 0; }
    Item<unsigned char> take_block() { return pcm_.get_data(); }

  private:
    // Declared so that destruction runs decoder, transform, then the queues.
    DataQueue<unsigned char> pcm_;
    DataQueue<float> spectra_;
    DataQueue<da_BinRWBase> packets_;
    da_CDDA_iMDCST transform_;
    std::unique_ptr<da_Decoder> decoder_;
    int frames_per_packet_;
};

}  // namespace x91
