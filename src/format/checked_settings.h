// The settings an x91 header carries, and the one check that makes them
// trusted by everything built from them.
#pragma once

#include <optional>

#include "format/settings.h"
#include "x91/status.h"

namespace x91 {

// Header settings as read from a file or chosen for an encode; not checked.
// A default HeaderSettings holds the codec's defaults. This one record goes
// from the header's bytes to the modules, which each take their parts of it.
struct HeaderSettings {
    da_CodeFeatures features{};
    da_DSettings dsettings = ds;
    da_ISettings isettings = is;
};

// Header settings that passed check_settings(). Only the check makes one, so
// the graphs and modules built from a CheckedSettings rely on its bounds
// (see check_settings) without checking them again.
class CheckedSettings {
  public:
    const HeaderSettings& header() const { return settings_; }
    const da_CodeFeatures& features() const { return settings_.features; }
    const da_DSettings& dsettings() const { return settings_.dsettings; }
    const da_ISettings& isettings() const { return settings_.isettings; }

  private:
    explicit CheckedSettings(const HeaderSettings& settings) : settings_(settings) {}
    friend Result check_settings(const HeaderSettings& settings,
                                 std::optional<CheckedSettings>& checked);

    HeaderSettings settings_;
};

// The decoder sizes its tables and runs its loops from the stored settings,
// so every value it depends on is bounded here, the one place that decides
// whether settings can be coded with. The bounds admit every sensible
// encoder setting:
// - line count 56..1764: at least one 56-line block, and every per-line
//   table stays small;
// - band counts 1..lines-1: every band keeps at least one line of its own;
// - step and level counts 2..1024: an index needs two values to mean
//   anything, and 1024 keeps the matrices' moduli small;
// - level range 1..600: larger ranges push the envelope floor below float's
//   smallest values;
// - frames per packet 1..256: a packet holds a frame, and a group's memory
//   stays bounded;
// - masking level scale finite and > 0: the spectra are divided by the curve;
// - downward and upward bases in (0, 1]: they are decays per Bark;
// - quantiser base in (1, 1000]: the logarithm needs a base above 1, and
//   beyond 1000 every line quantises to almost nothing.
// The three reserved masking values and the code features drive nothing and
// are not checked.
// On ok, checked holds the settings; otherwise it is left empty and the
// result is header_damaged, naming the first value that is not usable as
// "x91 header damaged: <field> <value>" (e.g. "x91 header damaged: line
// count 0").
[[nodiscard]] Result check_settings(const HeaderSettings& settings,
                                    std::optional<CheckedSettings>& checked);

}  // namespace x91
