// What the x91 command needs of the library beyond its public interface: an
// encoder built from encoder-only settings other than the defaults, and a
// decoder built from settings already read and checked, both working with
// the threads of the program's run.
#pragma once

#include "format/checked_settings.h"
#include "format/settings.h"
#include "library/thread_budget.h"
#include "x91/x91.h"

namespace x91 {

// `threads` counts the threads of the whole run; the calling thread holds
// one of its places, and the object takes more while they are spare (with
// a single place, it works as with one thread).

struct EncoderAccess {
    // The encoder's status() tells whether the settings are usable, as for
    // the public constructor.
    static Encoder make(const da_ESettings& esettings, const HeaderSettings& settings,
                        ThreadBudget& threads);
};

struct DecoderAccess {
    static Decoder make(const CheckedSettings& settings, ThreadBudget& threads);
};

}  // namespace x91
