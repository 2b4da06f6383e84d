// Common base of the encoder and decoder graphs: numbered queues plus one
// input and one output end that the owner joins to its chain.
#pragma once

#include "framework/module.h"
#include "framework/typed_queues.h"
#include "graphs/graph_queues.h"

namespace x91 {

// In and Out are the kinds of item the graph takes in and puts out.
template <typename In, typename Out>
class da_EnDeCoderBase : public da_Module {
  public:
    // Joins the modules' ends; called once, after input and output are set
    // and before the first work().
    virtual void connect_inout() = 0;

    GetFace<In> input;
    PutFace<Out> output;

  protected:
    da_EnDeCoderBase() = default;
    ~da_EnDeCoderBase() = default;

    GraphQueues queues;
};

}  // namespace x91
