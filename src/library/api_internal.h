// What the x91 command needs of the library beyond its public interface: an
// encoder built from encoder-only settings other than the defaults, and a
// decoder built from settings already read and checked.
#pragma once

#include "format/checked_settings.h"
#include "format/settings.h"
#include "library/codec.h"

namespace x91 {

struct EncoderAccess {
    // The encoder's status() tells whether the settings are usable, as for
    // the public constructor.
    // With `tuned`, the tuned encoder chooses what to send; the status is
    // invalid_argument for choices out of range, as for the public one.
    static Encoder make(const da_ESettings& esettings, const HeaderSettings& settings,
                        const TunedChoices* tuned = nullptr);
};

struct DecoderAccess {
    static Decoder make(const CheckedSettings& settings);
};

}  // namespace x91
