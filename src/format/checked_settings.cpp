#include "format/checked_settings.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

namespace x91 {

namespace {

// The shortest text that reads back as the same float, so a refused value
// just above a bound never prints as the bound itself.
std::string field_value(const char* field, float value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(field) + ' ' + std::string(digits, end);
}

// The first stored value outside its bounds, as "<field> <value>"; empty
// when all are usable.
std::string first_problem(const da_DSettings& d, const da_ISettings& i) {
    struct IntCheck {
        const char* field;
        int value;
        int low;
        int high;
    };
    const int lines = d.global.lines;
    // The band bounds derive from the line count, so it is checked first.
    if (lines < 56 || lines > 1764) return "line count " + std::to_string(lines);
    const IntCheck ints[] = {
        {"intensity band count", d.intensity.bands, 1, lines - 1},
        {"intensity step count", d.intensity.steps, 2, 1024},
        {"level range", d.intensity.range, 1, 600},
        {"side-stereo band count", d.side_stereo.bands, 1, lines - 1},
        {"side-stereo level count", d.side_stereo.levels, 2, 1024},
        {"frames per packet", d.group.frames, 1, 256},
    };
    for (const IntCheck& c : ints) {
        if (c.value < c.low || c.value > c.high) {
            return std::string(c.field) + ' ' + std::to_string(c.value);
        }
    }

    // Each real must be finite, above low and at most high.
    struct RealCheck {
        const char* field;
        float value;
        float low;
        float high;
    };
    const RealCheck reals[] = {
        {"masking level scale", i.masking.level_scale, 0.0f, FLT_MAX},
        {"downward base", i.masking.downward_base, 0.0f, 1.0f},
        {"upward base", i.masking.upward_base, 0.0f, 1.0f},
        {"quantiser base", i.quantize.base, 1.0f, 1000.0f},
    };
    for (const RealCheck& c : reals) {
        if (!std::isfinite(c.value) || !(c.value > c.low) || !(c.value <= c.high)) {
            return field_value(c.field, c.value);
        }
    }
    return {};
}

}  // namespace

Result check_settings(const HeaderSettings& settings, std::optional<CheckedSettings>& checked) {
    checked.reset();
    std::string problem = first_problem(settings.dsettings, settings.isettings);
    if (!problem.empty()) return {Status::header_damaged, "x91 header damaged: " + problem};
    checked = CheckedSettings(settings);
    return {};
}

}  // namespace x91
