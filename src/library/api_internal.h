// What the x91 command needs of the library beyond its public interface: an
// encoder built from encoder-only settings other than the defaults, and a
// decoder built from settings already read and checked, both working with
// the threads of the program's run.
#pragma once

#include "format/checked_settings.h"
#include "format/settings.h"
#include "library/codec.h"
#include "library/thread_budget.h"
#include "library/threading.h"

namespace x91 {

// `threads` counts the threads of the whole run; the calling thread holds
// one of its places, and the object takes more while they are spare (with
// a single place, it works as with one thread).

struct EncoderAccess {
    // The encoder's status() tells whether the settings are usable, as for
    // the public constructor.
    // With `tuned`, the tuned encoder chooses what to send; the status is
    // invalid_argument for choices out of range, as for the public one.
    // Without a budget everything runs on the caller's thread; with one, the
    // caller holds one of its places and the specified encoder shares runs
    // out on its spare ones (the tuned encoder keeps to one chain).
    static Encoder make(const da_ESettings& esettings, const HeaderSettings& settings,
                        const TunedChoices* tuned = nullptr);
    static Encoder make(const da_ESettings& esettings, const HeaderSettings& settings,
                        ThreadBudget& threads, const TunedChoices* tuned = nullptr);
    static Encoder make(const da_ESettings& esettings, const HeaderSettings& settings,
                        ThreadPlan threads, const TunedChoices* tuned);
};

struct DecoderAccess {
    static Decoder make(const CheckedSettings& settings, ThreadBudget& threads);
};

}  // namespace x91
