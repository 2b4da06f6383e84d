#include "graphs/endecoder_base.h"

#include "framework/packets.h"

namespace x91 {

da_EnDeCoderBase::da_EnDeCoderBase() {
    for (auto& q : queues_) q = std::make_unique<da_PDataQueue>(16);
}

// Destroy the queues in reverse order of construction, each releasing what
// it still holds.
da_EnDeCoderBase::~da_EnDeCoderBase() {
    for (int i = kQueueCount - 1; i >= 0; --i) queues_[i].reset();
}

void da_EnDeCoderBase::drain_discard_queue() {
    da_PDataQueue& discard = queue(kDiscardQueue);
    while (discard.queued() > 0) item_free(discard.get_data());
}

void da_EnDeCoderBase::mark_packet_queue(int number) {
    queue(number).set_disposer(packet_dispose);
}

}  // namespace x91
