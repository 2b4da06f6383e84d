// The library's version.
#pragma once

namespace x91 {

// E.g. "0.1.0".
const char* version();

}  // namespace x91
