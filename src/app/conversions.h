// The two conversions of one file each: CD-format WAV to x91 and back.
#pragma once

#include <string>

#include "app/console.h"
#include "app/settings/settings.h"

// Each returns true when the file was converted whole. On failure it has
// printed one line naming the file and the reason, and left no output (an
// existing file of the output's name is untouched). A damaged input that
// still gave output (a cut-short WAV, a damaged x91 file) keeps the output
// and returns false after a warning.
bool WaveToXFile(std::string in, std::string out, const da_ESettings& esettings,
                 const da_ISettings& isettings, const da_DSettings& dsettings, const da_CodeFeatures& cf,
                 const Console& console = Console::standard());
bool XFileToWave(std::string in, std::string out, const Console& console = Console::standard());

// The largest packet a decoder accepts. The encoder's packets stay far below
// it; a count beyond it can only come from a damaged file, and refusing it
// bounds what one packet may make us allocate.
inline constexpr int kMaxPacketBytes = 8 << 20;
