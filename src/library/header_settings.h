// The public Header and the codec's header settings hold the same values;
// these move them from one to the other.
#pragma once

#include "format/checked_settings.h"
#include "library/codec.h"

namespace x91 {

void fill_header(Header& header, const HeaderSettings& settings);
Header header_from(const HeaderSettings& settings);
HeaderSettings settings_from(const Header& header);

}  // namespace x91
