// Common base of the encoder and decoder graphs: numbered queues plus one
// input and one output face that the conversion driver joins to its chain.
#pragma once

#include <array>
#include <memory>

#include "framework/data_queue.h"
#include "framework/module.h"

namespace x91 {

class da_EnDeCoderBase : public da_Module {
  public:
    static constexpr int kQueueCount = 100;
    // Queue 0 collects every item the graph's modules have finished with; the
    // graph frees them all at the end of each work() call.
    static constexpr int kDiscardQueue = 0;

    virtual void connect_inout() = 0;

    da_Queue_GetFace* input = nullptr;
    da_Queue_PutFace* output = nullptr;

    da_PDataQueue& queue(int number) { return *queues_[number]; }

  protected:
    da_EnDeCoderBase();
    ~da_EnDeCoderBase();

    // Frees every spent item gathered on the discard queue.
    void drain_discard_queue();

    // The queue numbered `number` carries packet objects rather than arrays,
    // so whatever is left on it at destruction is disposed of as packets.
    void mark_packet_queue(int number);

  private:
    std::array<std::unique_ptr<da_PDataQueue>, kQueueCount> queues_;
};

}  // namespace x91
