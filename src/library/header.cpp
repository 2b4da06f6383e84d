#include <optional>

#include "format/quality.h"
#include "format/settings_io.h"
#include "library/codec.h"
#include "library/header_settings.h"
#include "storage/memory_stream.h"

namespace x91 {

static_assert(kHeaderBytes == X91_HEADER_BYTES);

Header::Header() {
    fill_header(*this, HeaderSettings{da_CodeFeatures{}, ds, is});
}

Result Header::apply_quality(float percent) {
    if (!quality_in_range(percent)) {
        return {Status::invalid_argument, "quality must be from 10 to 400 percent"};
    }
    HeaderSettings s = settings_from(*this);
    s.isettings = x91::apply_quality(s.isettings, percent);
    *this = header_from(s);
    return {};
}

Result Header::check() const {
    std::optional<CheckedSettings> checked;
    return check_settings(settings_from(*this), checked);
}

std::vector<std::uint8_t> Header::bytes() const {
    const auto image = x91_header_image(settings_from(*this));
    return std::vector<std::uint8_t>(image.begin(), image.end());
}

Result Header::parse(const std::uint8_t* data, std::size_t size, Header& out) {
    MemoryStream in(data, size);
    std::optional<CheckedSettings> settings;
    Result read = read_x91_header(in, settings);
    if (read) out = header_from(settings->header());
    return read;
}

}  // namespace x91
