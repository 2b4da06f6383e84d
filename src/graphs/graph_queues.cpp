#include "graphs/graph_queues.h"

namespace x91 {

GraphQueues::GraphQueues() {
    for (int i = 1; i < kQueueCount; ++i) queues_[i] = std::make_unique<da_PDataQueue>(16);
}

}  // namespace x91
