#include "library/header_settings.h"

#include <cstring>

namespace x91 {

void fill_header(Header& h, const HeaderSettings& s) {
    const da_DSettings& d = s.dsettings;
    const da_ISettings& i = s.isettings;
    std::memcpy(h.features, s.features.reserved, sizeof h.features);
    h.lines = d.global.lines;
    h.intensity_bands = d.intensity.bands;
    h.intensity_steps = d.intensity.steps;
    h.level_range = d.intensity.range;
    h.side_stereo_bands = d.side_stereo.bands;
    h.side_stereo_levels = d.side_stereo.levels;
    h.frames_per_packet = d.group.frames;
    h.masking_level = i.masking.level_scale;
    h.masking_downward = i.masking.downward_base;
    h.masking_upward = i.masking.upward_base;
    h.masking_reserved[0] = i.masking.reserved4;
    h.masking_reserved[1] = i.masking.reserved5;
    h.masking_reserved[2] = i.masking.reserved6;
    h.quantizer_base = i.quantize.base;
}

Header header_from(const HeaderSettings& settings) {
    Header h;
    fill_header(h, settings);
    return h;
}

HeaderSettings settings_from(const Header& h) {
    HeaderSettings s;
    da_DSettings& d = s.dsettings;
    da_ISettings& i = s.isettings;
    std::memcpy(s.features.reserved, h.features, sizeof h.features);
    d.global.lines = h.lines;
    d.intensity.bands = h.intensity_bands;
    d.intensity.steps = h.intensity_steps;
    d.intensity.range = h.level_range;
    d.side_stereo.bands = h.side_stereo_bands;
    d.side_stereo.levels = h.side_stereo_levels;
    d.group.frames = h.frames_per_packet;
    i.masking.level_scale = h.masking_level;
    i.masking.downward_base = h.masking_downward;
    i.masking.upward_base = h.masking_upward;
    i.masking.reserved4 = h.masking_reserved[0];
    i.masking.reserved5 = h.masking_reserved[1];
    i.masking.reserved6 = h.masking_reserved[2];
    i.quantize.base = h.quantizer_base;
    return s;
}

}  // namespace x91
