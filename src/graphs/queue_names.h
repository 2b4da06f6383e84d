// The encoder's and decoder's queues by name. Each graph keeps its own
// numbers; a number both graphs use carries the same data in each.
#pragma once

#include "framework/bit_stream.h"
#include "graphs/graph_queues.h"

namespace x91 {

// The queues both graphs have: the side computations the decoder repeats
// from the transmitted data, and the quantiser's results.
struct SharedQueues {
    static constexpr QueueId<int> intensity_indices{10};      // an index array per frame
    static constexpr QueueId<float> intensity_envelopes{20};  // the per-line envelope
    static constexpr QueueId<float> masking_envelopes{21};    // the envelope, on to the masking
    static constexpr QueueId<float> stereo_maps{30};          // the side-stereo map
    static constexpr QueueId<int> balance_indices{40};        // a balance index array per frame
    static constexpr QueueId<float> masking_curves{50};       // a curve per frame, a frame late
    static constexpr QueueId<int> quantised_spectra{60};      // two index arrays per frame
    static constexpr QueueId<int> block_flags{80};            // a flag array per frame
};

struct EncoderQueues : SharedQueues {
    static constexpr QueueId<float> measured_spectra{1};  // past the intensity measure
    static constexpr QueueId<float> balanced_spectra{2};  // past the balance measure
    static constexpr QueueId<float> rotated_spectra{3};
    static constexpr QueueId<float> real_spectra{4};
    static constexpr QueueId<int> intensity_rows{11};   // the indices, on to their coder
    static constexpr QueueId<float> rotation_maps{31};  // the map, on to the rotation
    static constexpr QueueId<int> balance_rows{41};     // the balances, on to their coder
    // A packet goes from the creator through the coders in packet order.
    static constexpr QueueId<da_BinRWBase> empty_packets{70};
    static constexpr QueueId<da_BinRWBase> intensity_written{71};
    static constexpr QueueId<da_BinRWBase> balances_written{72};
    static constexpr QueueId<da_BinRWBase> flags_written{73};
};

struct DecoderQueues : SharedQueues {
    // The dequantiser's spectra, already complex.
    static constexpr QueueId<float> complex_spectra{2};
    // A packet goes through the decoders in packet order, then is disposed of.
    static constexpr QueueId<da_BinRWBase> intensity_read{70};
    static constexpr QueueId<da_BinRWBase> balances_read{71};
    static constexpr QueueId<da_BinRWBase> flags_read{72};
    static constexpr QueueId<da_BinRWBase> spent_packets{73};
};

}  // namespace x91
