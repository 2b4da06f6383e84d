// What the x91 command needs of the library beyond its public interface:
// conversions between the public Header and the codec's settings records,
// and an encoder built from encoder-only settings other than the defaults.
#pragma once

#include "format/settings.h"
#include "x91/x91.h"

namespace x91 {

Header header_from(const da_CodeFeatures& features, const da_DSettings& dsettings,
                   const da_ISettings& isettings);
void settings_from(const Header& header, da_CodeFeatures& features, da_DSettings& dsettings,
                   da_ISettings& isettings);

struct EncoderAccess {
    static Encoder make(const da_ESettings& esettings, const Header& header);
};

}  // namespace x91
