// Debug switch of the codec: work-time reports and packet byte counts.
#pragma once

namespace x91 {

// False in every build; a developer flips it by hand to see per-module timing.
extern bool DebugMsgsOn;

}  // namespace x91
